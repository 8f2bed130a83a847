// The gadget tests' list window and what it received.
#pragma once

#include "gadget/gadget.h"
#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A WM_CTLCOLOREDIT or WM_CTLCOLORSTATIC the list window answered, with the colours the control's
// device context holds after the answer.
struct ColourMessage {
  UINT message;
  HWND control;
  COLORREF text;
  COLORREF back;
  LRESULT answer;
};

// What the running test's list windows received, in order; cleared by SetUp.
extern std::vector<ColourMessage> ColoursSeen;
// Each EN_SETFOCUS or EN_KILLFOCUS as "code number type": the notification, then the gadget event
// that was already waiting in the window's queue when it came ("0 0" when none was).
extern std::vector<std::string> FocusSeen;

// A visible test window, made the gadget-list window. Its procedure does with notifications what
// the window layer does: hands them to GadgetMessageForward and returns the answer unless it is
// UNHANDLED. TearDown destroys it and checks that no gadget and no brush outlived it.
class GadgetTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  HWND window_ = nullptr;
};

// The control of a live gadget, or null.
HWND ControlOf(intptr_t number);
// Its rectangle in the parent's client coordinates: left, top, right, bottom.
std::vector<LONG> PlaceOf(intptr_t number);
