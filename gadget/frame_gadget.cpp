#include "gadget/frame_gadget.h"

namespace {

struct FrameLook {
  const char* className;  // window class of the control
  DWORD exStyle;          // extended style
  DWORD style;            // style
  bool bordered;          // an empty "Static" rectangle, subclassed with FrameStaticProc
};

constexpr DWORD kBorderedStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP | SS_CENTER;

constexpr FrameLook kGroupBoxLook = {"Button", 0, WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX,
                                     false};
constexpr FrameLook kSunkenLook = {"Static", WS_EX_CLIENTEDGE, kBorderedStyle, true};
constexpr FrameLook kStaticEdgeLook = {"Static", WS_EX_STATICEDGE, kBorderedStyle, true};
constexpr FrameLook kFlatLook = {"Static", 0, kBorderedStyle | WS_BORDER, true};

// The Static class procedure, saved by every creation of a bordered look (the same each time).
WNDPROC StaticClassProc;

const FrameLook& FrameLookFor(uint32_t flags) {
  switch (flags) {
    case FrameGadgetGroupBox: return kGroupBoxLook;
    case FrameGadgetSunken: return kSunkenLook;
    case FrameGadgetStaticEdge: return kStaticEdgeLook;
    default: return kFlatLook;
  }
}

constexpr GadgetType kFrameType = [] {
  GadgetType t = GadgetTypeBlank(FrameGadgetKind);
  t.resize = FrameGadgetResize;
  return t;
}();

void OnFramePaint(HWND control) {
  ValidateRect(control, nullptr);
}

}  // namespace

intptr_t FrameGadgetCreate(intptr_t number, int x, int y, int width, int height, const char* text,
                           uint32_t flags) {
  const GadgetType* type = &kFrameType;
  const FrameLook& look = FrameLookFor(flags);
  // Only the group box shows a caption.
  const char* caption = look.bordered ? nullptr : text ? text : "";
  HWND control =
      GadgetControlCreate(look.exStyle, look.className, caption, look.style, x, y, width, height);
  if (!control) return 0;
  if (look.bordered) {
    StaticClassProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameStaticProc)));
  }
  GadgetRecord* record = GadgetSlotTake(number, control);
  if (!record) return 0;
  return GadgetRegister(number, record, control, type);
}

void FrameGadgetResize(GadgetRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
  HWND control = record->control;
  GadgetResize(record, x, y, width, height);
  RECT r;
  GetWindowRect(control, &r);
  HWND parent = GetParent(control);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  InvalidateRect(parent, &r, TRUE);
}

LRESULT CALLBACK FrameStaticProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnFramePaint(control); return 0;
  }
  return CallWindowProcA(StaticClassProc, control, message, wParam, lParam);
}
