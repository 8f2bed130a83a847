#include "gadget/string_gadget.h"

#include "gadget/brush_cache.h"
#include "runtime/protocol.h"

namespace {

constexpr DWORD kStringStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;

// The Edit class procedure, saved by every creation (the same each time).
WNDPROC EditClassProc;

constexpr GadgetType kStringType = [] {
  GadgetType t = GadgetTypeBlank(StringGadgetKind);
  t.notify = StringGadgetNotify;
  t.free = StringGadgetFree;
  t.setColor = StringGadgetSetColor;
  t.getColor = StringGadgetGetColor;
  return t;
}();

void FocusReport(HWND control, int32_t eventType) {
  PostMessageA(GadgetTopWindow(control), MessageGadgetEvent,
               static_cast<WPARAM>(GetWindowLongPtrA(control, GWLP_ID)), eventType);
}

}  // namespace

intptr_t StringGadgetCreate(intptr_t number, int x, int y, int width, int height, const char* text,
                            uint32_t flags) {
  const GadgetType* type = &kStringType;
  DWORD exStyle = (flags & StringGadgetFlat) ? 0 : WS_EX_CLIENTEDGE;
  HWND control = GadgetControlCreate(exStyle, "Edit", text ? text : "", flags | kStringStyle, x, y,
                                     width, height);
  if (!control) return 0;
  GadgetRecord* record = GadgetSlotTake(number, control);
  if (!record) return 0;
  EditClassProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StringGadgetFocusProc)));
  record->frontColor = -1;
  record->backColor = -1;
  return GadgetRegister(number, record, control, type);
}

LRESULT StringGadgetNotify(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
  bool colourMessage = message == WM_CTLCOLOREDIT ||
                       (message == WM_CTLCOLORSTATIC && IsWindowEnabled(record->control));
  if (!colourMessage) return UNHANDLED;
  HDC dc = reinterpret_cast<HDC>(wParam);
  LRESULT result = UNHANDLED;
  if (record->frontColor != -1) {
    SetTextColor(dc, static_cast<COLORREF>(record->frontColor));
    if (record->backColor == -1) {
      SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    }
  }
  if (record->backColor != -1) {
    SetBkColor(dc, static_cast<COLORREF>(record->backColor));
    result = reinterpret_cast<LRESULT>(record->brush);
  }
  return result;
}

void StringGadgetFree(GadgetRecord* record) {
  BrushCacheRelease(record->brush);
  record->brush = nullptr;
}

void StringGadgetSetColor(GadgetRecord* record, int32_t attribute, int32_t colour) {
  if (attribute == GadgetColorText) {
    record->frontColor = colour;
  } else if (attribute == GadgetColorBack) {
    BrushCacheRelease(record->brush);
    record->brush = colour == -1 ? nullptr : BrushCacheAcquire(colour);
    record->backColor = colour;
  }
  RedrawWindow(record->control, nullptr, nullptr,
               RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

int32_t StringGadgetGetColor(GadgetRecord* record, int32_t attribute) {
  if (attribute == GadgetColorText) return record->frontColor;
  if (attribute == GadgetColorBack) return record->backColor;
  return -1;
}

LRESULT CALLBACK StringGadgetFocusProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS: FocusReport(control, EventTypeFocus); break;
    case WM_KILLFOCUS: FocusReport(control, EventTypeLostFocus); break;
  }
  return CallWindowProcA(EditClassProc, control, message, wParam, lParam);
}
