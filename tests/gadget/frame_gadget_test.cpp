#include "gadget/frame_gadget.h"

#include "tests/gadget/gadget_fixture.h"

namespace {

// A static control asks its parent for colours when it paints; the bordered frames never paint.
TEST_F(GadgetTest, BorderedFramesLeaveTheirInsideUnpainted) {
  for (uint32_t flags : {0u, 1u, 2u, 9u}) {
    HWND frame = reinterpret_cast<HWND>(FrameGadgetCreate(1, 10, 10, 100, 60, "Werte", flags));
    ColoursSeen.clear();
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(ColoursSeen.empty(), flags != 0) << flags << ": only the group box paints";
    RECT left = {};  // a new control's pending frame drawing leaves an empty rectangle
    GetUpdateRect(frame, &left, FALSE);
    EXPECT_TRUE(IsRectEmpty(&left)) << flags;
  }
}

}  // namespace
