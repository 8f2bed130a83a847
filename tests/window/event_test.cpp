#include "window/event.h"

#include "gadget/option_gadget.h"
#include "runtime/memory.h"
#include "runtime/protocol.h"
#include "tests/support/gui.h"
#include "tests/window/runtime_window.h"
#include "window/sizing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Codes = std::vector<int32_t>;

// Opens window 0 and lets everything its opening caused run out.
HWND QuietWindowOpen(uint32_t flags = WS_OVERLAPPEDWINDOW) {
  auto window = reinterpret_cast<HWND>(WindowOpen(0, 100, 100, 200, 120, "Ereignisse", flags));
  EXPECT_TRUE(ForegroundMake(window));
  EventsRunFor(100);
  EventsDrain();
  return window;
}

TEST(EventStateTest, NoGadgetNumberBeforeTheFirstEvent) {
  EXPECT_EQ(EventGadgetNumber(), 0);
  EXPECT_EQ(EventWaitTimeout(0), EventCodeNone);
  EXPECT_EQ(EventType(), -1);
}

TEST_F(RuntimeWindowTest, QueuedEventsPerMessage) {
  struct Message {
    UINT number;
    WPARAM wParam;
    LPARAM lParam;
  };
  struct Case {
    const char* name;
    std::vector<Message> sent;
    Codes codes;
    LRESULT lastResult;
  } const cases[] = {
      {"move", {{WM_MOVE, 0, 0}}, {EventCodeMove}, 0},
      {"repeated moves merge", {{WM_MOVE, 0, 0}, {WM_MOVE, 0, 0}}, {EventCodeMove}, 0},
      {"move, size, move", {{WM_MOVE, 0, 0}, {WM_SIZE, 0, 0}, {WM_MOVE, 0, 0}},
       {EventCodeMove, EventCodeSize, EventCodeMove}, 0},
      {"minimise", {{WM_SIZE, SIZE_MINIMIZED, 0}}, {EventCodeMinimise}, 0},
      {"maximise", {{WM_SIZE, SIZE_MAXIMIZED, 0}}, {EventCodeMaximise, EventCodeSize}, 0},
      {"restore after maximise", {{WM_SIZE, SIZE_MAXIMIZED, 0}, {WM_SIZE, SIZE_RESTORED, 0}},
       {EventCodeMaximise, EventCodeSize, EventCodeRestore, EventCodeSize}, 0},
      {"restore after minimise", {{WM_SIZE, SIZE_MINIMIZED, 0}, {WM_SIZE, SIZE_RESTORED, 0}},
       {EventCodeMinimise, EventCodeRestore, EventCodeSize}, 0},
      {"other size kinds", {{WM_SIZE, SIZE_MAXSHOW, 0}}, {EventCodeSize}, 0},
      {"activate", {{WM_ACTIVATE, WA_CLICKACTIVE, 0}}, {EventCodeActivate}, 1},
      {"deactivate", {{WM_ACTIVATE, WA_INACTIVE, 0}}, {}, 1},
      {"close", {{WM_CLOSE, 0, 0}}, {EventCodeClose}, 0},
  };
  HWND window = QuietWindowOpen();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LRESULT result = -1;
    for (const Message& m : c.sent) result = SendMessageA(window, m.number, m.wParam, m.lParam);
    EXPECT_EQ(result, c.lastResult);
    EXPECT_EQ(EventsDrain(), c.codes);
    if (!c.codes.empty()) {
      EXPECT_EQ(EventWindow(), 0);
    }
  }
  EXPECT_TRUE(IsWindow(window)) << "a close request only queues an event";
}

TEST_F(RuntimeWindowTest, EraseQueuesRepaintAndUsesTheWindowsBackground) {
  HWND window = QuietWindowOpen();
  HDC context = GetDC(window);
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0), 1)
      << "the class brush, through the default procedure";
  EXPECT_EQ(EventsDrain(), Codes{EventCodeRepaint});

  static int erased;
  erased = 0;
  WindowEraseRoutineSet(0, [](HDC, HWND) -> LRESULT { return ++erased + 40; });
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0), 41);

  WindowBackgroundSet(0, 0x00CC00);  // a brush wins over the routine
  EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0), 1);
  EXPECT_EQ(erased, 1);
  EXPECT_EQ(GetPixel(context, 5, 5), RGB(0, 0xCC, 0));
  ReleaseDC(window, context);
}

TEST_F(RuntimeWindowTest, ForeignWindowsQueueOnlyActivationAndRepaint) {
  HWND window = QuietWindowOpen();
  HWND child = TestControlCreate(window, "Static", "", WS_VISIBLE, 0, 0, 10, 10);
  SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TopWindowProc));
  EventsRunFor(50);
  EventsDrain();
  EXPECT_EQ(SendMessageA(child, WM_SIZE, 0, 0), 1) << "a child's size is not the window's";
  EXPECT_EQ(EventsDrain(), Codes{});
  EXPECT_EQ(EventWindow(), 0) << "the child belongs to window 0";

  HWND foreign = TestWindowCreate(TopWindowProc, 10, 10, 50, 50, WS_OVERLAPPEDWINDOW);
  for (UINT m : {WM_MOVE, WM_CLOSE}) SendMessageA(foreign, m, 0, 0);
  EXPECT_EQ(SendMessageA(foreign, WM_SIZE, 0, 0), 1);
  MINMAXINFO limits = {};
  SendMessageA(foreign, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 0) << "no record, no limits of its own";
  SendMessageA(foreign, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(EventsDrain(), Codes{EventCodeActivate});
  EXPECT_EQ(EventWindow(), -1);
  DestroyWindow(foreign);
}

TEST_F(RuntimeWindowTest, DispatchedMessagesLeaveTheirEvent) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    Codes codes;     // what the waits return, message numbers included
    intptr_t object;
    int32_t type;
  } const cases[] = {
      {"focus report", MessageGadgetEvent, 7, EventTypeFocus, {EventCodeGadget}, 7, 14000},
      {"menu", WM_COMMAND, 42, 0, {EventCodeMenu}, 42, -1},
      {"other accelerator", WM_COMMAND, MAKEWPARAM(77, 1), 0, {EventCodeMenu}, 77, -1},
      {"tray double click", MessageTrayNotify, 3, WM_LBUTTONDBLCLK,
       {MessageTrayNotify, EventCodeTray}, 3, 2},
      {"tray right click", MessageTrayNotify, 4, WM_RBUTTONDOWN, {MessageTrayNotify, EventCodeTray},
       4, 1},
      {"tray mouse move", MessageTrayNotify, 5, WM_MOUSEMOVE,
       {MessageTrayNotify, MessageTrayEvent}, 5, -1},
      {"gadget drop of a foreign address", MessageGadgetDrop, 9, 0x1234, {EventCodeGadgetDrop},
       9, -1},
  };
  HWND window = QuietWindowOpen();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Events->messageWParam = 0x5A5A;
    PostMessageA(window, c.message, c.wParam, c.lParam);
    Codes got;
    for (size_t i = 0; i < c.codes.size(); ++i) got.push_back(EventWaitTimeout(1000));
    EXPECT_EQ(got, c.codes);
    // Only a message returned as its own number (the tray's first) leaves its wParam.
    EXPECT_EQ(Events->messageWParam, c.message == MessageTrayNotify ? c.wParam : 0x5A5A);
    EXPECT_EQ(EventGadgetNumber(), c.object);
    EXPECT_EQ(EventType(), c.type);
    EXPECT_EQ(Events->dropData, nullptr);
  }
  // The wait without a limit takes any message, WM_QUIT too, and returns its number.
  EventsDrain();
  PostMessageA(window, WM_APP, 0, 0);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_APP));
  PostQuitMessage(0);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_QUIT));
}

TEST_F(RuntimeWindowTest, ControlCommandsAreGadgetOrMenuEvents) {
  HWND window = QuietWindowOpen();
  HWND plain = TestControlCreate(window, "Button", "", WS_VISIBLE, 0, 0, 10, 10, 5);
  HWND menuSource = TestControlCreate(window, "Button", "", WS_VISIBLE, 0, 0, 10, 10, -10000);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(5, BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(plain));
  EXPECT_EQ(EventWaitTimeout(1000), EventCodeGadget);
  EXPECT_EQ(EventGadgetNumber(), 5);
  EXPECT_EQ(EventType(), BN_DOUBLECLICKED);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(55, 3), reinterpret_cast<LPARAM>(menuSource));
  EXPECT_EQ(EventWaitTimeout(1000), EventCodeMenu);
  EXPECT_EQ(EventGadgetNumber(), 55);
  EXPECT_EQ(EventType(), 3);
  // Stored zero-extended, as x86_64 may hold it, the identifier is -10000 in its 32 bits.
  HWND zeroExtended = TestControlCreate(window, "Button", "", WS_VISIBLE, 0, 0, 10, 10);
  SetWindowLongPtrA(zeroExtended, GWLP_ID, static_cast<LONG_PTR>(0xFFFFD8F0u));
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(56, 3), reinterpret_cast<LPARAM>(zeroExtended));
  EXPECT_EQ(EventWaitTimeout(1000), EventCodeMenu);
  EXPECT_EQ(EventGadgetNumber(), 56);
}

TEST_F(RuntimeWindowTest, DropDataLivesUntilTheNextWait) {
  HWND window = QuietWindowOpen();
  for (UINT message : {MessageWindowDrop, MessageGadgetDrop}) {
    SCOPED_TRACE(message);
    auto* data = static_cast<DropData*>(HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, sizeof(DropData)));
    void* extra = HeapAlloc(MainHeap, 0, 64);
    data->extra = extra;
    PostMessageA(window, message, 11, reinterpret_cast<LPARAM>(data));
    EXPECT_EQ(EventWaitTimeout(1000), static_cast<int32_t>(message));
    ASSERT_EQ(Events->dropData, data);
    EXPECT_EQ(data->extra, extra) << "an extra block of the MainHeap is kept";
    EXPECT_EQ(EventWaitTimeout(0), EventCodeNone);
    EXPECT_EQ(Events->dropData, nullptr);
  }
  // A second drop before the wait: the first one's blocks are given back, not lost.
  PROCESS_HEAP_ENTRY entry = {};
  auto busyBlocks = [&] {
    int count = 0;
    entry.lpData = nullptr;
    while (HeapWalk(MainHeap, &entry)) count += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    return count;
  };
  int before = busyBlocks();
  for (int i = 0; i < 2; ++i) {
    auto* data = static_cast<DropData*>(HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, sizeof(DropData)));
    SendMessageA(window, MessageWindowDrop, 0, reinterpret_cast<LPARAM>(data));
  }
  EventWaitTimeout(0);
  EXPECT_EQ(busyBlocks(), before);
}

TEST_F(RuntimeWindowTest, QueuedEventComesFirstAndNamesItsWindow) {
  HWND window = QuietWindowOpen();
  PostMessageA(window, MessageGadgetEvent, 3, EventTypeLostFocus);
  EXPECT_EQ(EventWaitTimeout(1000), EventCodeGadget);
  auto other = reinterpret_cast<HWND>(WindowOpen(5, 300, 300, 50, 50, "5", WS_OVERLAPPEDWINDOW));
  EventsRunFor(100);
  EventsDrain();
  SendMessageA(other, WM_MOVE, 0, 0);
  PostMessageA(window, WM_USER + 7, 0, 0);
  EXPECT_EQ(EventWaitTimeout(0), EventCodeMove);
  EXPECT_EQ(EventWindow(), 5);
  EXPECT_EQ(EventGadgetNumber(), 3) << "queued events keep the last object";
  EXPECT_EQ(EventWaitTimeout(0), static_cast<int32_t>(WM_USER + 7)) << "then the message";
  EXPECT_EQ(EventWaitTimeout(0), EventCodeNone);
  EXPECT_EQ(EventWaitTimeout(20), EventCodeNone);
  // A command sent outside the wait leaves its code pending; the queued event returned first
  // drops it, so that it is not taken for the next message's.
  SendMessageA(other, WM_MOVE, 0, 0);
  SendMessageA(window, WM_COMMAND, 42, 0);
  PostMessageA(window, WM_USER + 8, 0, 0);
  EXPECT_EQ(EventWaitTimeout(0), EventCodeMove);
  EXPECT_EQ(EventWaitTimeout(0), static_cast<int32_t>(WM_USER + 8));
}

LRESULT CALLBACK MoveAnswerer(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_MOVE ? 77 : PASS_ON;
}

TEST_F(RuntimeWindowTest, LimitsAndCallbacksShapeTheAnswers) {
  HWND window = QuietWindowOpen();
  MINMAXINFO info = {};
  info.ptMinTrackSize = {11, 12};
  info.ptMaxTrackSize = {1300, 1400};
  WindowSizeLimitsSet(0, 150, 0, 0, 600);
  EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.ptMinTrackSize.x, 150);
  EXPECT_EQ(info.ptMinTrackSize.y, 12);
  EXPECT_EQ(info.ptMaxTrackSize.x, 1300);
  EXPECT_EQ(info.ptMaxTrackSize.y, 600);

  WindowCallbackSet(0, MoveAnswerer);
  EXPECT_EQ(SendMessageA(window, WM_MOVE, 0, 0), 77) << "the callback's own answer";
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(EventsDrain(), Codes{EventCodeClose}) << "only what the callback passed on";
}

TEST_F(RuntimeWindowTest, SystemColourChangeReachesEveryDescendant) {
  HWND window = QuietWindowOpen();
  HWND box = TestControlCreate(window, "Static", "", WS_VISIBLE, 0, 0, 100, 100);
  HWND inner = TestControlCreate(box, "Static", "", WS_VISIBLE, 0, 0, 10, 10);
  MessageLog boxLog(box);
  MessageLog innerLog(inner);
  SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(boxLog.Count(WM_SYSCOLORCHANGE), 1u);
  EXPECT_EQ(innerLog.Count(WM_SYSCOLORCHANGE), 1u);
  WindowMdiClientSet(0, box);
  SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(boxLog.Count(WM_SYSCOLORCHANGE), 1u) << "an MDI child leaves it to its frame";
  WindowMdiClientSet(0, nullptr);
}

TEST_F(RuntimeWindowTest, ClickOnAnOptionGadgetIsAGadgetEvent) {
  HWND window = QuietWindowOpen();
  OptionGadgetCreate(0, 30, 80, 110, 30, "m\xE4nlich");
  auto option = reinterpret_cast<HWND>(OptionGadgetCreate(1, 30, 30, 110, 30, "weiblich"));
  EventsRunFor(100);
  MouseClickOn(option);
  EXPECT_EQ(EventWaitFor([](int32_t code) { return code == EventCodeGadget; }), EventCodeGadget);
  EXPECT_EQ(EventGadgetNumber(), 1);
  EXPECT_EQ(EventType(), BN_CLICKED);
  EXPECT_EQ(SendMessageA(option, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(GetParent(option), window);
}

TEST_F(RuntimeWindowTest, CloseBoxQueuesCloseAndTheWindowStays) {
  HWND window = QuietWindowOpen(WS_CAPTION | WS_SYSMENU);
  RECT r;
  GetWindowRect(window, &r);
  // The close box sits at the right end of the caption.
  LONG x = r.right - GetSystemMetrics(SM_CXSIZE) / 2 - GetSystemMetrics(SM_CXFRAME);
  LONG y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  ASSERT_EQ(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLOSE);
  MouseClickAt(x, y);
  EXPECT_EQ(EventWaitFor([](int32_t code) { return code == EventCodeClose; }), EventCodeClose);
  EXPECT_EQ(EventWindow(), 0);
  EventsRunFor(100);
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(RuntimeWindowTest, TabIsReturnedAsItsKeyMessage) {
  HWND window = QuietWindowOpen();
  // Buttons, since an edit control reports its focus changes as commands, which are events.
  HWND first = TestControlCreate(window, "Button", "", WS_VISIBLE | WS_TABSTOP, 10, 10, 80, 20, 1);
  HWND next = TestControlCreate(window, "Button", "", WS_VISIBLE | WS_TABSTOP, 10, 40, 80, 20, 2);
  SetFocus(first);
  KeyPress(VK_TAB);
  EXPECT_EQ(EventWaitFor([](int32_t code) { return code == WM_KEYDOWN; }), WM_KEYDOWN);
  EXPECT_EQ(GetFocus(), next);
}

TEST_F(RuntimeWindowTest, BorderDragGivesSizeEventsBeforeTheButtonIsReleased) {
  FullWindowDragging dragging;
  HWND window = QuietWindowOpen(WS_OVERLAPPEDWINDOW);
  RECT r = WindowRectOf(window);
  LONG x = r.right - 2;
  LONG y = (r.top + r.bottom) / 2;
  ASSERT_EQ(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTRIGHT);
  CursorPlace(x, y);
  MouseDown(x, y);
  ASSERT_TRUE(PumpUntil([] { return Sizing->active == 1; })) << "sizing never started";
  // The pointer moves below the part that stays in the shape (see CursorPlace).
  SetWindowRgn(window, CreateRectRgn(0, 0, r.right - r.left, 30), TRUE);
  MouseMove(x + 40, y + 10);
  EXPECT_EQ(EventWaitFor([](int32_t code) { return code == EventCodeSize; }), EventCodeSize);
  EXPECT_EQ(Sizing->active, 1) << "still dragging";
  EXPECT_EQ(WindowRectOf(window).right, x + 40 + 2);
  MouseUp(x + 40, y + 10);
  EXPECT_TRUE(PumpUntil([] { return Sizing->active == 0; }));
}

}  // namespace
