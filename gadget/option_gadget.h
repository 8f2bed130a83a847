// Option gadgets: radio buttons that group with the options created right before them.
//
// A run of options created one after another in the same list forms one group, the first with
// WS_GROUP; any other gadget, or any GadgetListUse, ends the run.
#pragma once

#include <cstdint>

#include "gadget/gadget.h"

constexpr int32_t OptionGadgetKind = 5;

// A radio button in the current list window, unchecked. Returns the dynamic number for -1, else
// the control's handle; 0 (and nothing made) when there is no list window, the control cannot be
// made, or number is below -1. A null text is the empty text.
intptr_t OptionGadgetCreate(intptr_t number, int x, int y, int width, int height, const char* text);

// 1 when the option is checked, else 0.
int32_t OptionGadgetGetState(GadgetRecord* record);

// State 0 unchecks this option alone. Any other state checks it and unchecks the other radio
// buttons of its group: the siblings from the nearest one with WS_GROUP at or before it, up to
// the next sibling that starts another group or is no radio button.
void OptionGadgetSetState(GadgetRecord* record, int32_t state);
