// String gadgets: one-line text fields with settable text and background colours that report
// gaining and losing the keyboard focus.
//
// The parent window's procedure must hand WM_CTLCOLOREDIT and WM_CTLCOLORSTATIC to
// GadgetMessageForward and return its answer (unless UNHANDLED) for the colours to show.
#pragma once

#include <cstdint>

#include "gadget/gadget.h"

constexpr int32_t StringGadgetKind = 2;

// Flags of StringGadgetCreate beyond the Edit styles: no sunken client edge.
constexpr uint32_t StringGadgetFlat = 0x20000;

// A text field in the current list window. flags are Edit styles added to the field's own
// (ES_READONLY, say); StringGadgetFlat drops the sunken edge. No colours are set. Returns as
// OptionGadgetCreate does.
intptr_t StringGadgetCreate(intptr_t number, int x, int y, int width, int height, const char* text,
                            uint32_t flags);

// WM_CTLCOLOREDIT, and WM_CTLCOLORSTATIC of an enabled field: sets the field's colours in the
// device context (wParam) and answers the background brush. A text colour alone gives the
// COLOR_BTNHIGHLIGHT background. UNHANDLED for every other message, for a disabled field (which
// keeps the system's colours) and when no colour is set.
LRESULT StringGadgetNotify(GadgetRecord* record, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);

// Gives back the field's brush reference.
void StringGadgetFree(GadgetRecord* record);

// Attribute 1 sets the text colour, 2 the background colour (taking a shared brush of it), -1
// meaning none; then the field is redrawn.
void StringGadgetSetColor(GadgetRecord* record, int32_t attribute, int32_t colour);

// The colour of attribute 1 or 2, -1 when none is set or for any other attribute.
int32_t StringGadgetGetColor(GadgetRecord* record, int32_t attribute);

// The subclass procedure between GadgetWindowProc and the Edit class: posts MessageGadgetEvent
// (wParam the gadget's number, lParam EventTypeFocus or EventTypeLostFocus) to the field's top
// window before the Edit procedure handles WM_SETFOCUS or WM_KILLFOCUS.
LRESULT CALLBACK StringGadgetFocusProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
