#include "window/sizing.h"

#include "runtime/protocol.h"
#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The tracking limits the test window answers WM_GETMINMAXINFO with, standing for a window
// record's limits; while x is 0 the window leaves the platform's limits alone.
MINMAXINFO windowLimits;

// The window procedure as the window layer runs it: the sizing first, then the window's own.
LRESULT CALLBACK SizedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = SizingMessageHandler(window, message, wParam, lParam);
  if (result != UNHANDLED) return result;
  if (message == WM_GETMINMAXINFO && windowLimits.ptMinTrackSize.x) {
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    limits->ptMinTrackSize = windowLimits.ptMinTrackSize;
    limits->ptMaxTrackSize = windowLimits.ptMaxTrackSize;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class SizingTest : public testing::Test {
 protected:
  void SetUp() override {
    windowLimits = {};
    window_ = TestWindowCreate(SizedWindowProc, 100, 100, 300, 200);
    OuterPlace();
  }
  void TearDown() override {
    DestroyWindow(window_);
  }

  // A literal outer rectangle, 100, 100 to 500, 400: the frame's size differs between platforms.
  void OuterPlace() { MoveWindow(window_, 100, 100, 400, 300, TRUE); }

  // Keeps only this part of the window (window coordinates) in its shape (see CursorPlace).
  void ShapeKeep(int left, int top, int right, int bottom) {
    ASSERT_TRUE(SetWindowRgn(window_, CreateRectRgn(left, top, right, bottom), TRUE))
        << "error " << GetLastError();
  }

  // Starts a Size without an edge, the cursor at 300, 101 on the top edge. The shape leaves out
  // the 3 outer pixels of each side, where every cursor position of the arrow keys lies. Tests that
  // follow the cursor post the menu's command: the menu itself sends a mouse move as it closes,
  // and under Wine its popup can replay old pointer positions.
  void SizeWithoutEdge(bool fromMenu) {
    ShapeKeep(3, 3, 397, 297);
    CursorPlace(300, 101);
    if (fromMenu) {
      KeyPressWith(VK_MENU, VK_SPACE);
      KeyPress('S');
    } else {
      PostMessageA(window_, WM_SYSCOMMAND, SC_SIZE, 0);
    }
    ASSERT_TRUE(PumpUntil([] { return Sizing->active == 1; })) << "sizing never started";
  }

  HWND window_ = nullptr;
  FullWindowDragging dragging_;  // on for every test, the user's setting back after it
};

TEST_F(SizingTest, RightBorderFollowsTheMouseWithinTheWindowsLimitsWhileDragging) {
  windowLimits.ptMinTrackSize = {200, 150};
  windowLimits.ptMaxTrackSize = {500, 400};
  MessageLog log(window_);
  CursorPlace(498, 250);
  MouseDown(498, 250);
  ASSERT_TRUE(PumpUntil([] { return Sizing->active == 1; })) << "sizing never started";
  EXPECT_EQ(Sizing->edge, WMSZ_RIGHT);
  // Only the top 100 pixels stay in the shape: the drag runs below them.
  ShapeKeep(0, 0, 400, 100);
  struct { LONG mouseX; LONG right; } const moves[] = {{450, 452}, {700, 600}, {150, 300}};
  for (const auto& move : moves) {
    MouseMove(move.mouseX, 260);
    EXPECT_TRUE(PumpUntil([&] { return WindowRectOf(window_).right == move.right; }))
        << "mouse at " << move.mouseX << ": window " << testing::PrintToString(WindowRectOf(window_));
  }
  EXPECT_GE(log.Count(WM_SIZE), 3u) << "size messages while the button is still down";
  EXPECT_EQ(Sizing->active, 1);
  MouseUp(150, 260);
  ASSERT_TRUE(PumpUntil([&] { return log.Count(WM_EXITSIZEMOVE) == 1; }));
  EXPECT_EQ(WindowRectOf(window_), (RECT{100, 100, 300, 400}));
  EXPECT_EQ(log.Numbers({WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}),
            (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
}

// The dragged sides of 100, 100, 500, 400 follow the point (a right or bottom side 2 pixels
// beyond it, the top-left corner's sides 2 before it) within a width of 200 to 600 and a height
// of 150 to 500; the other sides stay.
TEST(SizingRectTest, EachEdgeFollowsThePointWithinTheLimits) {
  struct Case {
    int32_t edge;
    int x, y;
    RECT rect;
  } const cases[] = {
      {WMSZ_LEFT, 150, 999, {150, 100, 500, 400}},     {WMSZ_LEFT, 400, 0, {300, 100, 500, 400}},
      {WMSZ_LEFT, -200, 0, {-100, 100, 500, 400}},     {WMSZ_RIGHT, 448, 0, {100, 100, 450, 400}},
      {WMSZ_RIGHT, 148, 0, {100, 100, 300, 400}},      {WMSZ_RIGHT, 900, 0, {100, 100, 700, 400}},
      {WMSZ_TOP, 999, 120, {100, 120, 500, 400}},      {WMSZ_TOP, 0, 350, {100, 250, 500, 400}},
      {WMSZ_TOP, 0, -300, {100, -100, 500, 400}},      {WMSZ_BOTTOM, 0, 298, {100, 100, 500, 300}},
      {WMSZ_BOTTOM, 0, 120, {100, 100, 500, 250}},     {WMSZ_BOTTOM, 0, 1000, {100, 100, 500, 600}},
      {WMSZ_TOPLEFT, 152, 122, {150, 120, 500, 400}},  {WMSZ_TOPRIGHT, 448, 120, {100, 120, 450, 400}},
      {WMSZ_BOTTOMLEFT, 150, 298, {150, 100, 500, 300}},
      {WMSZ_BOTTOMRIGHT, 448, 298, {100, 100, 450, 300}}, {0, 1, 1, {100, 100, 500, 400}},
  };
  for (const Case& c : cases) {
    SizingState state = {};
    state.rect = {100, 100, 500, 400};
    state.edge = c.edge;
    state.limits.ptMinTrackSize = {200, 150};
    state.limits.ptMaxTrackSize = {600, 500};
    SizingRectApply(&state, c.x, c.y);
    EXPECT_EQ(state.rect, c.rect) << "edge " << c.edge << " to " << c.x << ", " << c.y;
  }
}

// A child window is placed by its parent's client coordinates, a top-level one by the screen's.
TEST_F(SizingTest, WindowMoveMapsAChildIntoItsParent) {
  HWND child = TestControlCreate(window_, "Static", "", WS_VISIBLE, 0, 0, 10, 10, 1);
  RECT client = ClientRectOnScreen(window_);
  RECT onScreen = {client.left + 10, client.top + 20, client.left + 110, client.top + 70};
  SizingWindowMove(child, &onScreen);
  EXPECT_EQ(RectInParent(child), (RECT{10, 20, 110, 70}));
  RECT outer = {120, 130, 520, 430};
  SizingWindowMove(window_, &outer);
  EXPECT_EQ(WindowRectOf(window_), outer);
}

// One arrow key, and the edge, window rectangle and cursor position it leaves.
struct ArrowStep {
  WORD key;
  int32_t edge;
  RECT rect;
  POINT cursor;
};

TEST_F(SizingTest, ArrowKeysChooseAnEdgeThenACornerAndStepTenPixels) {
  const RECT start = {100, 100, 500, 400};
  // Each run ends with Enter or Esc; either keeps the rectangle reached.
  const struct { std::vector<ArrowStep> steps; WORD endKey; } runs[] = {
      {{{VK_LEFT, 1, start, {100, 101}},
        {VK_LEFT, 1, {90, 100, 500, 400}, {90, 101}},
        {VK_UP, 4, {90, 100, 500, 400}, {92, 102}},
        {VK_UP, 4, {90, 90, 500, 400}, {92, 92}}},
       VK_RETURN},
      {{{VK_RIGHT, 2, start, {498, 101}},
        {VK_DOWN, 8, start, {498, 398}},
        {VK_DOWN, 8, {100, 100, 500, 410}, {498, 408}},
        {VK_RIGHT, 8, {100, 100, 510, 410}, {508, 408}}},
       VK_ESCAPE},
  };
  for (const auto& run : runs) {
    OuterPlace();
    SizeWithoutEdge(false);
    // The platform's defaults, which this window leaves alone; its caption has a border.
    const MINMAXINFO& limits = Sizing->limits;
    EXPECT_EQ(limits.ptMinTrackSize, (POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)}));
    EXPECT_EQ(limits.ptMaxTrackSize, (POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)}));
    EXPECT_EQ(limits.ptMaxSize, (POINT{GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)}));
    EXPECT_EQ(limits.ptMaxPosition, (POINT{GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)}));
    for (const ArrowStep& step : run.steps) {
      KeyPress(step.key);
      PumpUntil([&] {
        return Sizing->edge == step.edge && WindowRectOf(window_) == step.rect &&
               CursorPosition() == step.cursor;
      });
      EXPECT_EQ(Sizing->edge, step.edge) << "key " << step.key;
      EXPECT_EQ(WindowRectOf(window_), step.rect) << "key " << step.key;
      EXPECT_EQ(CursorPosition(), step.cursor) << "key " << step.key;
    }
    KeyPress(run.endKey);
    ASSERT_TRUE(PumpUntil([] { return Sizing->active == 0; }));
    EXPECT_EQ(WindowRectOf(window_), run.steps.back().rect) << "ended by key " << run.endKey;
  }
}

TEST_F(SizingTest, EscBeforeAnyMouseMovePutsTheCursorBack) {
  SizeWithoutEdge(false);
  KeyPress(VK_ESCAPE);
  // Queued behind the key: the window sees no mouse move before the operation ends.
  SetCursorPos(320, 102);
  ASSERT_TRUE(PumpUntil([] { return Sizing->active == 0; }));
  EXPECT_EQ(CursorPosition(), (POINT{300, 101}));
}

// The menu's Size starts without an edge, under the four-way arrow, and presses the button first
// when it is up. The low bit of the button's state only counts the presses, so both of its values
// are tried.
TEST_F(SizingTest, MenuSizeStartsWithoutAnEdgeAndPressesTheButtonWhateverItsToggleBit) {
  for (BYTE toggle : {0, 1}) {
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys)) << "error " << GetLastError();
    keys[VK_LBUTTON] = toggle;
    ASSERT_TRUE(SetKeyboardState(keys)) << "error " << GetLastError();
    MessageLog log(window_);
    SizeWithoutEdge(true);
    EXPECT_EQ(Sizing->edge, 0);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEALL));
    EXPECT_EQ(log.Count(WM_LBUTTONDOWN), 1u) << "toggle bit " << int{toggle};
    KeyPress(VK_RETURN);
    ASSERT_TRUE(PumpUntil([] { return Sizing->active == 0; }));
  }
}

TEST_F(SizingTest, DestroyingTheWindowEndsTheOperation) {
  SizeWithoutEdge(false);
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_EQ(Sizing->active, 0);
  EXPECT_EQ(GetCapture(), nullptr);
}

// Asked directly: a drag left to the platform runs the platform's own modal loop.
TEST_F(SizingTest, LeavesMovingAndSizingWithoutFullWindowDraggingToThePlatform) {
  const struct { BOOL dragFull; WPARAM command; } cases[] = {
      {FALSE, SC_SIZE}, {FALSE, SC_SIZE | WMSZ_RIGHT}, {TRUE, SC_MOVE}, {TRUE, SC_MOVE | HTCAPTION}};
  for (const auto& c : cases) {
    dragging_.Set(c.dragFull);
    EXPECT_EQ(SizingMessageHandler(window_, WM_SYSCOMMAND, c.command, 0), UNHANDLED)
        << "command " << c.command << ", full-window dragging " << c.dragFull;
    EXPECT_EQ(Sizing->active, 0);
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

}  // namespace
