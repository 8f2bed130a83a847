// The result window: the assessment on the screen, in twelve read-only fields and frames with the
// advice line on the colour of its class. The program's flow shows it once; it is its own module
// so that a test can open and close it as often as it likes.
#pragma once

#include "app/assessment.h"

#include <cstdint>

// The result window's number. The sex-choice window had it before; it is closed by then.
constexpr intptr_t ResultWindowNumber = 0;

// Opens the result window (closing a window that still holds its number), makes its gadgets,
// gives the advice line the background colour that AdviceChoose returns (AdviceChoose also sets
// state->adviceText) and fills the fields from state's texts.
//
// When the window cannot be opened no gadget is made, and the colour and the texts find no
// gadget; AdviceChoose runs all the same. Returns WindowOpen's result: the window's handle, or 0.
// The window stays open until WindowClose(ResultWindowNumber) or the runtime's end.
intptr_t ResultWindowShow(AppState* state);
