#include "requester/input_requester.h"

#include "runtime/instance.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"
#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kDialogClass[] = "InputRequester";
constexpr char kTestWindowClass[] = "RequesterTestWindow";
constexpr DWORD kDeadlineMs = 10000;

// What a test does while the dialog is open. It runs once, on the requester's own thread, from a
// thread timer that only the dialog's loop dispatches, so the dialog is complete by then.
using DialogScript = std::function<void(HWND dialog)>;

DialogScript activeScript;

void CALLBACK ScriptTimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND dialog = FindWindowA(kDialogClass, nullptr);
  if (!dialog) {
    ADD_FAILURE() << "the requester's loop runs without its dialog";
    return;
  }
  activeScript(dialog);
}

// A script that leaves the dialog open would otherwise hang the test until CTest kills it.
void CALLBACK WatchdogTimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ADD_FAILURE() << "the dialog was still open after " << kDeadlineMs << " ms";
  PostMessageA(FindWindowA(kDialogClass, nullptr), WM_CLOSE, 0, 0);
}

void RequesterRun(const char* title, const char* prompt, const char* defaultText, int32_t mark,
                  DialogScript script) {
  activeScript = std::move(script);
  UINT_PTR scriptTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, ScriptTimerProc);
  UINT_PTR watchdog = SetTimer(nullptr, 0, kDeadlineMs, WatchdogTimerProc);
  InputRequester(title, prompt, defaultText, mark);
  KillTimer(nullptr, scriptTimer);
  KillTimer(nullptr, watchdog);
  activeScript = nullptr;
}

// The answer at mark 0, checked for its terminating NUL.
std::string Ask(const char* defaultText, DialogScript script) {
  RequesterRun("Eingabe", "Wert:", defaultText, 0, std::move(script));
  EXPECT_EQ(StringBuffer.text[StringBuffer.used], '\0');
  return std::string(StringBuffer.text, StringBuffer.used);
}

enum class Ending { Enter, ClickOk, Escape, Close };

void DialogFinish(HWND dialog, Ending ending) {
  switch (ending) {
    case Ending::Enter: KeyPress(VK_RETURN); break;
    case Ending::ClickOk: MouseClickOn(GetDlgItem(dialog, 1000)); break;
    case Ending::Escape: KeyPress(VK_ESCAPE); break;
    case Ending::Close: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
  }
}

// -1 until a test window is enabled again; then 1 if the dialog still existed at that moment.
int dialogAliveAtEnable = -1;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENABLE && wParam) {
    dialogAliveAtEnable = FindWindowA(kDialogClass, nullptr) ? 1 : 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class InputRequesterTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!WindowClassRegistered(kTestWindowClass)) {
      WNDCLASSEXA windowClass = {};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = TestWindowProc;
      windowClass.hInstance = ModuleInstance;
      windowClass.lpszClassName = kTestWindowClass;
      ASSERT_TRUE(RegisterClassExA(&windowClass)) << "error " << GetLastError();
    }
    StringBufferTruncate(0);
    dialogAliveAtEnable = -1;
  }

  void TearDown() override {
    TopWindowsClose();
    StringBufferTruncate(0);
  }

  void TopWindowsClose() {
    for (HWND window : windows_) DestroyWindow(window);
    windows_.clear();
    MessagesDrain();
  }

  // A top-level window of this thread, away from the dialog in the screen's middle.
  HWND TopWindowOpen(DWORD style) {
    int x = 20 + 40 * static_cast<int>(windows_.size());
    HWND window = CreateWindowExA(0, kTestWindowClass, "Testfenster", WS_OVERLAPPEDWINDOW | style,
                                  x, 20, 200, 100, nullptr, nullptr, ModuleInstance, nullptr);
    EXPECT_NE(window, nullptr) << "error " << GetLastError();
    windows_.push_back(window);
    return window;
  }

  // Lets what the tests left in the queue (key releases after the dialog has gone) run out.
  static void MessagesDrain() {
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < kDeadlineMs &&
           PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  std::vector<HWND> windows_;
};

TEST_F(InputRequesterTest, AnswerFollowsWhatTheUserDoes) {
  struct Case {
    const char* name;
    const char* defaultText;
    const char* typed;
    Ending ending;
    const char* answer;
  } const cases[] = {
      {"typed text, Enter", nullptr, "72,5", Ending::Enter, "72,5"},
      {"typing continues the default", "1", "85", Ending::Enter, "185"},
      {"default, Enter", "80", "", Ending::Enter, "80"},
      {"typed text, click on OK", "80", "5", Ending::ClickOk, "805"},
      {"empty field, Enter", nullptr, "", Ending::Enter, ""},
      {"Escape cancels", "80", "5", Ending::Escape, ""},
      {"WM_CLOSE cancels", "80", "", Ending::Close, ""},
      {"Latin-1 default", "\xE4\xF6\xFC\xDF", "", Ending::Enter, "\xE4\xF6\xFC\xDF"},
      {"Latin-1 typed", nullptr, "\xC4rger \xDF", Ending::Enter, "\xC4rger \xDF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string answer = Ask(c.defaultText, [&](HWND dialog) {
      TextType(c.typed);
      DialogFinish(dialog, c.ending);
    });
    EXPECT_EQ(answer, c.answer);
    MessagesDrain();
  }
}

TEST_F(InputRequesterTest, FieldShowsDefaultWithCaretBehindItAndNothingSelected) {
  struct Case {
    const char* defaultText;
    const char* shown;
    DWORD caret;
  } const cases[] = {
      {"Gewicht 80", "Gewicht 80", 10},
      {"", "", 0},
      {nullptr, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    char shown[64] = "unread";
    DWORD start = 99, end = 99;
    Ask(c.defaultText, [&](HWND dialog) {
      HWND field = GetDlgItem(dialog, 10);
      GetWindowTextA(field, shown, sizeof shown);
      SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
      PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_STREQ(shown, c.shown);
    EXPECT_EQ(start, c.caret);
    EXPECT_EQ(end, c.caret);
  }
}

// One line per control: identifier, style, rectangle in the dialog's client coordinates, text.
std::string ControlDescribe(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  char text[40] = "";
  GetWindowTextA(control, text, sizeof text);
  char line[96];
  snprintf(line, sizeof line, "%d %08lX (%ld,%ld)-(%ld,%ld) %s", GetDlgCtrlID(control),
           static_cast<unsigned long>(GetWindowLongA(control, GWL_STYLE)), r.left, r.top, r.right,
           r.bottom, text);
  return line;
}

TEST_F(InputRequesterTest, DialogLayout) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  HFONT stockFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  RequesterRun("Gr\xF6\xDF" "e", "K\xF6rpergr\xF6\xDF" "e in cm:", "180", 0, [&](HWND dialog) {
    RECT frame;
    GetWindowRect(dialog, &frame);
    // Half the screen, rounded down, less half the 300 x 130 frame: (490, 447) on 1280 x 1024.
    EXPECT_EQ(frame.left, screenWidth / 2 - 150);
    EXPECT_EQ(frame.top, screenHeight / 2 - 65);
    EXPECT_EQ(frame.right - frame.left, 300);
    EXPECT_EQ(frame.bottom - frame.top, 130);
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME),
              WS_VISIBLE | WS_CAPTION)
        << "a caption without a system menu, so no close box, and not sizable";
    char title[32] = "";
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Gr\xF6\xDF" "e");
    EXPECT_EQ(GetForegroundWindow(), dialog);
    EXPECT_EQ(GetFocus(), RequesterState.editControl);

    EXPECT_EQ(ControlDescribe(dialog, RequesterState.labelControl),
              "0 5000000B (10,10)-(290,32) K\xF6rpergr\xF6\xDF" "e in cm:");
    EXPECT_EQ(ControlDescribe(dialog, RequesterState.editControl),
              "10 50010080 (10,32)-(285,53) 180");
    EXPECT_EQ(ControlDescribe(dialog, RequesterState.okControl),
              "1000 50010001 (110,67)-(190,92) OK");
    EXPECT_TRUE(GetWindowLongA(RequesterState.editControl, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    for (HWND control : {RequesterState.labelControl, RequesterState.editControl,
                         RequesterState.okControl}) {
      EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(stockFont));
    }

    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(ModuleInstance, kDialogClass, &info));
    EXPECT_EQ(info.style, 3u);
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(16));
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.hIcon, nullptr);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  });
}

TEST_F(InputRequesterTest, AnswerLandsAtTheMark) {
  struct Case {
    int32_t mark;
    Ending ending;
    const char* buffer;  // the whole buffer afterwards
  } const cases[] = {
      {4, Ending::Enter, "0123abc"},
      {10, Ending::Enter, "0123456789abc"},
      {0, Ending::Enter, "abc"},
      {4, Ending::Close, "0123"},
      {10, Ending::Close, "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buffer);
    StringBufferTruncate(0);
    StringBufferAppend("0123456789");
    RequesterRun("Eingabe", "Wert:", "abc", c.mark,
                 [&](HWND dialog) { DialogFinish(dialog, c.ending); });
    EXPECT_EQ(StringBuffer.used, static_cast<int32_t>(strlen(c.buffer)));
    EXPECT_EQ(std::string(StringBuffer.text, StringBuffer.used), c.buffer);
    EXPECT_EQ(StringBuffer.text[StringBuffer.used], '\0');
    MessagesDrain();
  }
}

TEST_F(InputRequesterTest, LongAnswerComesBackWhole) {
  // The field's default typing limit is 30,000 characters on Wine: the last one typed must fit.
  std::string answer = Ask(std::string(29999, 'x').c_str(), [](HWND) {
    TextType("y");
    KeyPress(VK_RETURN);
  });
  EXPECT_EQ(answer.size(), 30000u);
  EXPECT_EQ(answer.find_first_not_of('x'), 29999u);
  EXPECT_EQ(answer.back(), 'y');
}

TEST_F(InputRequesterTest, SecondRequesterWorksLikeTheFirst) {
  for (const char* typed : {"eins", "zwei"}) {
    SCOPED_TRACE(typed);
    std::string answer = Ask(nullptr, [&](HWND) {
      TextType(typed);
      KeyPress(VK_RETURN);
    });
    EXPECT_EQ(answer, typed);
    EXPECT_FALSE(WindowClassRegistered(kDialogClass)) << "the class goes with its dialog";
    MessagesDrain();
  }
}

TEST_F(InputRequesterTest, OtherWindowsOfTheThreadAreDisabledOnlyWhileOpen) {
  HWND lowest = TopWindowOpen(WS_VISIBLE);  // the last one the enumeration reaches
  HWND visible = TopWindowOpen(WS_VISIBLE);
  HWND hidden = TopWindowOpen(0);
  HWND alreadyDisabled = TopWindowOpen(WS_VISIBLE | WS_DISABLED);
  HWND hiddenDisabled = TopWindowOpen(WS_DISABLED);
  HWND foreground = TopWindowOpen(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(foreground));
  ASSERT_EQ(GetForegroundWindow(), foreground);

  struct State {
    HWND window;
    const char* name;
    BOOL enabledDuring;
    BOOL enabledAfter;
  } states[] = {
      {visible, "visible", FALSE, TRUE},
      {hidden, "hidden", TRUE, TRUE},
      {alreadyDisabled, "already disabled", FALSE, FALSE},
      {hiddenDisabled, "hidden and disabled", FALSE, FALSE},
      {foreground, "foreground", FALSE, TRUE},
      {lowest, "visible, below the others", FALSE, TRUE},
  };
  BOOL during[6] = {};
  Ask(nullptr, [&](HWND dialog) {
    for (size_t i = 0; i < 6; ++i) during[i] = IsWindowEnabled(states[i].window);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  });
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(states[i].name);
    EXPECT_EQ(during[i], states[i].enabledDuring);
    EXPECT_EQ(IsWindowEnabled(states[i].window), states[i].enabledAfter);
  }
  EXPECT_EQ(RequesterState.disabledWindows, nullptr) << "every entry dropped";
}

TEST_F(InputRequesterTest, ForegroundWindowOfTheProcessOwnsTheDialog) {
  struct Case {
    const char* name;
    DWORD style;  // of the foreground window; 0 for none of this process
    BOOL enabledAfter;
    int enabledWithDialogAlive;  // see dialogAliveAtEnable
  } const cases[] = {
      {"no window of the process", 0, FALSE, -1},
      {"enabled, disabled while open", WS_VISIBLE, TRUE, 1},
      {"already disabled, stays so", WS_VISIBLE | WS_DISABLED, FALSE, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND owner = nullptr;
    if (c.style) {
      owner = TopWindowOpen(c.style);
      ASSERT_TRUE(SetForegroundWindow(owner));
    }
    ASSERT_EQ(ForegroundWindowOfProcess(), owner) << "foreground " << GetForegroundWindow();
    dialogAliveAtEnable = -1;
    HWND ownerDuring = reinterpret_cast<HWND>(1);
    BOOL enabledDuring = TRUE;
    Ask(nullptr, [&](HWND dialog) {
      ownerDuring = GetWindow(dialog, GW_OWNER);
      enabledDuring = IsWindowEnabled(owner);
      PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(ownerDuring, owner);
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(IsWindowEnabled(owner), c.enabledAfter);
    EXPECT_EQ(dialogAliveAtEnable, c.enabledWithDialogAlive) << "1: enabled before its dialog went";
    TopWindowsClose();
  }
}

TEST_F(InputRequesterTest, QuitDuringTheDialogCancelsItAndReachesTheCallersLoop) {
  HWND other = TopWindowOpen(WS_VISIBLE);
  HWND owner = TopWindowOpen(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(owner));
  HWND dialogDuring = nullptr;
  std::string answer = Ask("80", [&](HWND dialog) {
    dialogDuring = dialog;
    PostQuitMessage(7);
  });
  EXPECT_EQ(answer, "");
  MSG message = {};
  EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_NE(dialogDuring, nullptr);
  EXPECT_FALSE(IsWindow(dialogDuring));
  EXPECT_FALSE(WindowClassRegistered(kDialogClass));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(RequesterState.disabledWindows, nullptr);
}

TEST_F(InputRequesterTest, DialogDestroyedFromOutsideStillEnablesWindows) {
  HWND other = TopWindowOpen(WS_VISIBLE);
  HWND owner = TopWindowOpen(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(owner));
  std::string answer = Ask("80", [](HWND dialog) { DestroyWindow(dialog); });
  EXPECT_EQ(answer, "");
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(RequesterState.disabledWindows, nullptr);
}

// Fails the creation of the dialog window, as a platform out of resources would.
LRESULT CALLBACK DialogCreationRefuse(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    char name[32] = "";
    GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
    if (strcmp(name, kDialogClass) == 0) return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(InputRequesterTest, DialogThatCannotBeMadeLeavesNothingBehind) {
  HWND other = TopWindowOpen(WS_VISIBLE);
  HWND owner = TopWindowOpen(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(owner));
  StringBufferAppend("0123456789");
  HHOOK hook = SetWindowsHookExA(WH_CBT, DialogCreationRefuse, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr) << "error " << GetLastError();
  InputRequester("Eingabe", "Wert:", "80", 4);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(StringBuffer.used, 4);
  EXPECT_STREQ(StringBuffer.text, "0123");
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(RequesterState.disabledWindows, nullptr);
  EXPECT_FALSE(WindowClassRegistered(kDialogClass));
}

// Each thread gets back exactly the windows it disabled, even while another has its own disabled.
TEST_F(InputRequesterTest, ThreadWindowsEnableLeavesOtherThreadsWindowsDisabled) {
  HANDLE disabled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND window = nullptr;
  BOOL enabledAfterOwnEnable = FALSE;
  std::thread other([&] {
    window = CreateWindowExA(0, kTestWindowClass, "Anderer Thread", WS_OVERLAPPEDWINDOW, 700, 20,
                             200, 100, nullptr, nullptr, ModuleInstance, nullptr);
    // Shown without activation: the foreground window would be spared.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ThreadWindowsDisable();
    SetEvent(disabled);
    WaitForSingleObject(release, kDeadlineMs);
    ThreadWindowsEnable();
    enabledAfterOwnEnable = IsWindowEnabled(window);
    DestroyWindow(window);
  });
  // No ASSERT before the join: the thread must be released and joined in every case.
  EXPECT_EQ(WaitForSingleObject(disabled, kDeadlineMs), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindowEnabled(window));
  ThreadWindowsEnable();
  EXPECT_FALSE(IsWindowEnabled(window)) << "another thread's entry was taken";
  EXPECT_NE(RequesterState.disabledWindows, nullptr);
  SetEvent(release);
  other.join();
  EXPECT_TRUE(enabledAfterOwnEnable);
  EXPECT_EQ(RequesterState.disabledWindows, nullptr);
  CloseHandle(disabled);
  CloseHandle(release);
}

BOOL CALLBACK DisabledWindowCount(HWND window, LPARAM count) {
  if (!IsWindowEnabled(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// The top-level windows of this thread that are disabled, hidden ones included.
int ThreadDisabledWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), DisabledWindowCount, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Answered and cancelled in turn, each with the owner and another window of the thread to disable
// and enable again: nothing stays disabled, registered or allocated. Two hundred after twenty to
// warm up.
TEST_F(InputRequesterTest, TwoHundredRequestersGiveBackEverything) {
  HWND other = TopWindowOpen(WS_VISIBLE);
  HWND owner = TopWindowOpen(WS_VISIBLE);
  ASSERT_TRUE(SetForegroundWindow(owner));
  MessagesDrain();
  int disabledBefore = ThreadDisabledWindows();
  CyclesGiveBack({MainHeap, StringHeap, ListHeap}, 20, 100, [&](int i) {
    SCOPED_TRACE(i);
    bool answered = i % 2 == 0;
    HWND ownerDuring = nullptr;
    BOOL otherEnabledDuring = TRUE;
    std::string answer = Ask(nullptr, [&](HWND dialog) {
      ownerDuring = GetWindow(dialog, GW_OWNER);
      otherEnabledDuring = IsWindowEnabled(other);
      if (answered) TextType("72");
      KeyPress(answered ? VK_RETURN : VK_ESCAPE);
    });
    ASSERT_EQ(answer, answered ? "72" : "");
    ASSERT_EQ(ownerDuring, owner) << "the owner must be disabled and enabled in every round";
    ASSERT_FALSE(otherEnabledDuring);
    ASSERT_TRUE(IsWindowEnabled(other));
    ASSERT_TRUE(IsWindowEnabled(owner));
    ASSERT_EQ(RequesterState.disabledWindows, nullptr);
    ASSERT_FALSE(WindowClassRegistered(kDialogClass));
    MessagesDrain();
  });
  EXPECT_EQ(ThreadDisabledWindows(), disabledBefore);
  EXPECT_EQ(StringBuffer.used, 0);
}

}  // namespace
