#include "gadget/option_gadget.h"

namespace {

constexpr DWORD kOptionStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;

// Both bits of BS_AUTORADIOBUTTON (9): the forward walk takes any sibling with them for a radio
// button.
constexpr LONG_PTR kRadioBits = 0x9;

LONG_PTR StyleOf(HWND control) {
  return GetWindowLongPtrA(control, GWL_STYLE);
}

constexpr GadgetType kOptionType = [] {
  GadgetType t = GadgetTypeBlank(OptionGadgetKind);
  t.getState = OptionGadgetGetState;
  t.setState = OptionGadgetSetState;
  return t;
}();

}  // namespace

intptr_t OptionGadgetCreate(intptr_t number, int x, int y, int width, int height,
                            const char* text) {
  const GadgetType* type = &kOptionType;
  DWORD style = GadgetList->optionRun ? kOptionStyle : kOptionStyle | WS_GROUP;
  HWND control = GadgetControlCreate(0, "Button", text ? text : "", style, x, y, width, height);
  if (!control) return 0;
  GadgetRecord* record = GadgetSlotTake(number, control);
  if (!record) return 0;
  intptr_t result = GadgetRegister(number, record, control, type);
  GadgetList->optionRun = 1;
  return result;
}

int32_t OptionGadgetGetState(GadgetRecord* record) {
  return static_cast<int32_t>(SendMessageA(record->control, BM_GETCHECK, 0, 0) & 1);
}

void OptionGadgetSetState(GadgetRecord* record, int32_t state) {
  HWND control = record->control;
  if (state == 0) {
    SendMessageA(control, BM_SETCHECK, BST_UNCHECKED, 0);
    return;
  }
  HWND first = control;
  while (!(StyleOf(first) & WS_GROUP)) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  // The walk stops where the next group starts: two groups can be neighbours (a run resumed after
  // the list went to another window and back), and checking here must not clear the other.
  for (HWND sibling = first; sibling && (StyleOf(sibling) & kRadioBits) == kRadioBits;
       sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling != first && (StyleOf(sibling) & WS_GROUP)) break;
    SendMessageA(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
}
