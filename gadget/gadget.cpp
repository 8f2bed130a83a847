#include "gadget/gadget.h"

#include "gadget/brush_cache.h"
#include "runtime/instance.h"
#include "runtime/protocol.h"

#include <commctrl.h>
#include <ole2.h>

ObjectTable* GadgetTable;

namespace {

constexpr int32_t kTableStep = 50;

// The record of a registered gadget's control: found through the control's identifier, and only
// when it holds this very control. Any control can bear an identifier that is also a gadget's
// number (0 above all), and its messages must not reach that gadget's kind.
GadgetRecord* RecordOfControl(HWND control) {
  GadgetRecord* record = GadgetFind(GetWindowLongPtrA(control, GWLP_ID));
  return record && record->control == control ? record : nullptr;
}

void OnGadgetDestroyed(HWND control) {
  // Looked up again rather than kept: the old procedure may have made gadgets, and a numbered
  // entry moves when the table grows.
  GadgetRecord* record = RecordOfControl(control);
  if (!record) return;
  intptr_t number = GetWindowLongPtrA(control, GWLP_ID);
  if (record->type->free) record->type->free(record);
  RemovePropA(control, PropertyGadgetId);
  if (RemovePropA(control, PropertyDropAccept)) RevokeDragDrop(control);
  SetWindowLongPtrA(control, GWLP_ID, -1);
  ObjectRelease(GadgetTable, number);
}

}  // namespace

void GadgetLayerStart() {
  InitializeCriticalSection(&BrushCacheLock);
  GadgetTable = ObjectTableCreate(sizeof(GadgetRecord), kTableStep, GadgetFree);
  GadgetList = static_cast<GadgetListState*>(
      LibraryRecordCreate(sizeof(GadgetListState), GadgetListStateInit));
  INITCOMMONCONTROLSEX classes = {};
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&classes);
}

GadgetRecord* GadgetFind(intptr_t number) {
  return static_cast<GadgetRecord*>(ObjectFind(GadgetTable, number));
}

void GadgetSetText(intptr_t number, const char* text) {
  if (!text) text = "";
  GadgetRecord* record = GadgetFind(number);
  if (!record) return;
  if (record->type->setText) {
    record->type->setText(record, text);
  } else {
    SetWindowTextA(record->control, text);
  }
}

void GadgetSetColor(intptr_t number, int32_t attribute, int32_t colour) {
  GadgetRecord* record = GadgetFind(number);
  if (record && record->type->setColor) record->type->setColor(record, attribute, colour);
}

int32_t GadgetGetColor(intptr_t number, int32_t attribute) {
  GadgetRecord* record = GadgetFind(number);
  return record && record->type->getColor ? record->type->getColor(record, attribute) : -1;
}

int32_t GadgetGetState(intptr_t number) {
  GadgetRecord* record = GadgetFind(number);
  return record && record->type->getState ? record->type->getState(record) : -1;
}

void GadgetSetState(intptr_t number, int32_t state) {
  GadgetRecord* record = GadgetFind(number);
  if (record && record->type->setState) record->type->setState(record, state);
}

void GadgetResizeByNumber(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
  GadgetRecord* record = GadgetFind(number);
  if (!record) return;
  if (record->type->resize) {
    record->type->resize(record, x, y, width, height);
  } else {
    GadgetResize(record, x, y, width, height);
  }
}

void GadgetFree(intptr_t number) {
  GadgetRecord* record = GadgetFind(number);
  if (record) DestroyWindow(record->control);
}

void GadgetResize(GadgetRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
  HWND control = record->control;
  const GadgetType* type = record->type;
  if (x == GadgetKeep || y == GadgetKeep || width == GadgetKeep || height == GadgetKeep) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    if (x == GadgetKeep) x = type->getX ? type->getX(record) : r.left;
    if (y == GadgetKeep) y = type->getY ? type->getY(record) : r.top;
    if (width == GadgetKeep) width = type->getWidth ? type->getWidth(record) : r.right - r.left;
    if (height == GadgetKeep) height = type->getHeight ? type->getHeight(record) : r.bottom - r.top;
  }
  MoveWindow(control, x, y, width, height, TRUE);
  // Kinds 1 and 3 have controls that do not repaint all of themselves after a move.
  if (type->kind == 1) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
  } else if (type->kind == 3) {
    InvalidateRect(control, nullptr, FALSE);
  }
}

HWND GadgetTopWindow(HWND control) {
  HWND current = control;
  for (;;) {
    HWND parent = GetParent(current);
    if (!parent || GetPropA(current, PropertyWindowId)) return current;
    current = parent;
  }
}

LRESULT GadgetMessageForward(HWND control, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  if (!control) return UNHANDLED;
  intptr_t number = reinterpret_cast<intptr_t>(GetPropA(control, PropertyGadgetId));
  if (number != GetWindowLongPtrA(control, GWLP_ID)) return UNHANDLED;
  GadgetRecord* record = RecordOfControl(control);
  if (!record || !record->type->notify) return UNHANDLED;
  return record->type->notify(record, window, message, wParam, lParam);
}

HWND GadgetControlCreate(DWORD exStyle, const char* className, const char* text, DWORD style,
                         int32_t x, int32_t y, int32_t width, int32_t height) {
  // Identifier -1 until GadgetRegister numbers the control: GadgetWindowProc ignores it till then.
  return CreateWindowExA(exStyle, className, text, style, x, y, width, height, GadgetList->window,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)), ModuleInstance,
                         nullptr);
}

GadgetRecord* GadgetSlotTake(intptr_t number, HWND control) {
  GadgetRecord* entry = nullptr;
  // cppcheck-suppress compareValueOutOfTypeRangeError ; always true on i686, not on x86_64
  if (number >= -1 && number <= INT32_MAX) {
    entry = static_cast<GadgetRecord*>(ObjectSlot(GadgetTable, static_cast<int32_t>(number)));
    // The old gadget's destruction runs the list window's procedure (WM_PARENTNOTIFY), whose
    // callback may make a gadget under this very number: take the entry again, which destroys
    // that one as any creation under a taken number does, rather than write over its record. A
    // dynamic entry is always new and free.
    if (entry && entry->control) {
      entry = static_cast<GadgetRecord*>(ObjectSlot(GadgetTable, static_cast<int32_t>(number)));
    }
  }
  if (!entry) DestroyWindow(control);
  return entry;
}

intptr_t GadgetRegister(intptr_t number, GadgetRecord* record, HWND control,
                        const GadgetType* type) {
  bool dynamic = number == -1;
  if (dynamic) number = reinterpret_cast<intptr_t>(record);
  record->control = control;
  record->type = type;
  record->oldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetWindowProc)));
  SetWindowLongPtrA(control, GWLP_ID, number);
  SetPropA(control, PropertyGadgetId, reinterpret_cast<HANDLE>(number));
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GadgetList->font), TRUE);
  GadgetList->optionRun = 0;
  return dynamic ? number : reinterpret_cast<intptr_t>(control);
}

LRESULT CALLBACK GadgetWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetRecord* record = RecordOfControl(control);
  if (!record) return DefWindowProcA(control, message, wParam, lParam);
  LRESULT result = CallWindowProcA(record->oldProc, control, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY: OnGadgetDestroyed(control); break;
  }
  return result;
}
