#include "window/focus.h"

#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

constexpr WORD kNext = 64001;      // what a window's accelerators make of Tab
constexpr WORD kPrevious = 64002;  // and of Shift+Tab

// Carries the focus commands out as the window layer does: an accelerator's WM_COMMAND has high
// word 1 and no control.
LRESULT CALLBACK NavigatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == 1 && lParam == 0) {
    FocusNavigate(LOWORD(wParam) == kNext ? 0 : 1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The test window and its controls, by the names the tables use; kNothing is no window at all.
enum Name { kNothing, kWindow, kFirst, kBox, kBoxFirst, kBoxLast, kDisabled, kHidden, kPlain,
            kLast, kMdi, kMdiFirst, kMdiLast, kNameCount };

// From a focus, a command leaves the focus on expected.
struct Navigation {
  Name from;
  WORD command;
  Name expected;
};

constexpr DWORD kStop = WS_VISIBLE | WS_TABSTOP;

// A window whose tab stops are, in order: kFirst, kBoxFirst and kBoxLast inside a plain container,
// kLast, then kMdiFirst and kMdiLast inside an MDI child window. Between kBoxLast and kLast lie a
// disabled, a hidden and a visible control without WS_TABSTOP.
class FocusTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA mdiClass = {};
    mdiClass.lpfnWndProc = DefWindowProcA;
    mdiClass.hInstance = GetModuleHandleA(nullptr);
    mdiClass.lpszClassName = "MDI_ChildClass";
    RegisterClassA(&mdiClass);  // fails harmlessly when an earlier test registered it
    windows_[kWindow] = TestWindowCreate(NavigatingWindowProc, 100, 100, 400, 300);
    Add(kFirst, kWindow, "Edit", kStop);
    Add(kBox, kWindow, "Static", WS_VISIBLE);
    Add(kBoxFirst, kBox, "Button", kStop);
    Add(kBoxLast, kBox, "Button", kStop);
    Add(kDisabled, kWindow, "Button", kStop | WS_DISABLED);
    Add(kHidden, kWindow, "Button", WS_TABSTOP);
    Add(kPlain, kWindow, "Button", WS_VISIBLE);
    Add(kLast, kWindow, "Edit", kStop);
    Add(kMdi, kWindow, "MDI_ChildClass", WS_VISIBLE);
    Add(kMdiFirst, kMdi, "Button", kStop);
    Add(kMdiLast, kMdi, "Edit", kStop);
  }
  void TearDown() override { DestroyWindow(windows_[kWindow]); }

  void Add(Name name, Name parent, const char* className, DWORD style) {
    windows_[name] = TestControlCreate(windows_[parent], className, "", style, 0, 20 * name, 100, 20);
  }
  // Focuses from, sends the window the command, and compares the focus it leaves.
  void Check(std::initializer_list<Navigation> table) {
    for (const Navigation& n : table) {
      SetFocus(windows_[n.from]);
      ASSERT_EQ(GetFocus(), windows_[n.from]) << "focus on " << n.from;
      SendMessageA(windows_[kWindow], WM_COMMAND, MAKEWPARAM(n.command, 1), 0);
      EXPECT_EQ(GetFocus(), windows_[n.expected]) << "from " << n.from << " by " << n.command;
    }
  }

  HWND windows_[kNameCount] = {};
};

TEST_F(FocusTest, WalksTheTabStopsAndWrapsAround) {
  Check({
      {kFirst, kNext, kBoxFirst},
      {kBoxLast, kNext, kLast},
      {kLast, kPrevious, kBoxLast},
      {kFirst, kPrevious, kMdiLast},
      {kPlain, kNext, kPlain},
      {kPlain, kPrevious, kMdiLast},
      {kNothing, kNext, kFirst},
      {kNothing, kPrevious, kMdiLast},
      // Inside the MDI child, and on it, only its own stops count.
      {kMdiLast, kNext, kMdiFirst},
      {kMdiFirst, kPrevious, kMdiLast},
      {kMdi, kNext, kMdiFirst},
      {kMdi, kPrevious, kMdiLast},
  });
}

// The backward walk's callback by itself: a stop before the focus is passed and the walk goes on;
// at the focus, the focus moves back, the focus is the last stop passed and the walk ends.
TEST_F(FocusTest, BackwardCallbackStopsAtTheFocus) {
  SetFocus(windows_[kBoxLast]);
  TabWalk walk = {windows_[kBoxLast], nullptr, 0, 0};
  auto address = reinterpret_cast<LPARAM>(&walk);
  EXPECT_TRUE(FocusPreviousEnumProc(windows_[kBoxFirst], address));
  EXPECT_TRUE(FocusPreviousEnumProc(windows_[kPlain], address)) << "no tab stop: passed by";
  EXPECT_EQ(walk.previousStop, windows_[kBoxFirst]);
  EXPECT_FALSE(FocusPreviousEnumProc(windows_[kBoxLast], address));
  EXPECT_EQ(GetFocus(), windows_[kBoxFirst]);
  EXPECT_EQ(walk.moved, 1);
  EXPECT_EQ(walk.previousStop, windows_[kBoxLast]);
}

TEST_F(FocusTest, KeepsTheFocusWithASingleStopOrNone) {
  for (Name name : {kFirst, kBoxFirst, kBoxLast, kMdiFirst, kMdiLast}) {
    EnableWindow(windows_[name], FALSE);
  }
  Check({{kLast, kNext, kLast}, {kLast, kPrevious, kLast}});
  EnableWindow(windows_[kLast], FALSE);
  Check({{kPlain, kNext, kPlain}, {kPlain, kPrevious, kPlain}});
}

}  // namespace
