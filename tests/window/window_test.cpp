#include "window/window.h"

#include "gadget/gadget.h"
#include "gadget/string_gadget.h"
#include "runtime/instance.h"
#include "runtime/memory.h"
#include "runtime/protocol.h"
#include "tests/support/gui.h"
#include "tests/window/runtime_window.h"
#include "window/event.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string ClassNameOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

TEST_F(RuntimeWindowTest, FlagsDecideStyleShowAndPlace) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  constexpr LONG kAny = -99999;  // position chosen by the platform
  struct Case {
    const char* name;
    int32_t x, y, width, height;
    uint32_t flags;
    DWORD styleBits;     // of WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_VISIBLE
    LONG left, top;      // outer top-left, or kAny
    LONG clientWidth, clientHeight;
    BOOL zoomed, iconic;
  } const cases[] = {
      {"flags 0", 100, 50, 200, 100, 0, WS_CAPTION | WS_VISIBLE, 100, 50, 200, 100, FALSE, FALSE},
      {"hidden", 100, 50, 200, 100, 0x10000000, WS_CAPTION, 100, 50, 200, 100, FALSE, FALSE},
      {"choice window", 216, 0, 124, 133, 0xC40001, WS_CAPTION | WS_THICKFRAME | WS_VISIBLE,
       kAny, kAny, 124, 133, FALSE, FALSE},
      {"result window", 245, 38, 494, 205, 0xC80000, WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 245, 38,
       494, 205, FALSE, FALSE},
      {"platform's position", -65535, 10, 150, 80, 0, WS_CAPTION | WS_VISIBLE, kAny, kAny, 150,
       80, FALSE, FALSE},
      {"maximised", 10, 10, 150, 80, WS_OVERLAPPEDWINDOW | WS_MAXIMIZE,
       WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_VISIBLE, kAny, kAny, kAny, kAny, TRUE, FALSE},
      {"minimised", 10, 10, 150, 80, WS_OVERLAPPEDWINDOW | WS_MINIMIZE,
       WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_VISIBLE, kAny, kAny, kAny, kAny, FALSE, TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto handle = reinterpret_cast<HWND>(WindowOpen(0, c.x, c.y, c.width, c.height, "T", c.flags));
    ASSERT_TRUE(IsWindow(handle));
    DWORD style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_VISIBLE), c.styleBits);
    EXPECT_EQ(style & (WindowFlagCentreScreen | WindowFlagCentreParent | WindowFlagNoGadgetList),
              0u);
    RECT outer;
    GetWindowRect(handle, &outer);
    RECT client;
    GetClientRect(handle, &client);
    auto expectUnlessAny = [](LONG got, LONG expected) {
      if (expected != kAny) {
        EXPECT_EQ(got, expected);
      }
    };
    expectUnlessAny(outer.left, c.left);
    expectUnlessAny(outer.top, c.top);
    expectUnlessAny(client.right, c.clientWidth);
    expectUnlessAny(client.bottom, c.clientHeight);
    if (c.flags & WindowFlagCentreScreen) {
      EXPECT_EQ(outer.left, (screenWidth - (outer.right - outer.left)) / 2);
      EXPECT_EQ(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2);
    }
    if (c.x == -65535) {
      EXPECT_NE(outer.left, -65535) << "CW_USEDEFAULT, not the value given";
    }
    EXPECT_EQ(IsZoomed(handle), c.zoomed);
    EXPECT_EQ(IsIconic(handle), c.iconic);
    EXPECT_EQ(WindowFind(0)->sizeState, c.zoomed || c.iconic ? 1 : 0);
    EXPECT_EQ(GetPropA(handle, PropertyWindowId), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(ClassNameOf(handle), "WindowClass_0");
    // No extended style of its own: the platform adds only the edge of a captioned window.
    EXPECT_EQ(GetWindowLongA(handle, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(GetClassLongPtrA(handle, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
    EXPECT_EQ(GetClassLongPtrA(handle, GCLP_HCURSOR),
              reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)));
    EXPECT_EQ(GetClassLongPtrA(handle, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    WindowClose(0);
  }
}

TEST_F(RuntimeWindowTest, CentringKeepsTheWindowOnTheScreenOrItsParent) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  auto parent = reinterpret_cast<HWND>(WindowOpen(1, 300, 200, 400, 300, "Eltern", 0));
  RECT p;
  GetWindowRect(parent, &p);
  auto corner = reinterpret_cast<HWND>(WindowOpen(2, 0, 0, 60, 40, "Ecke", 0));
  struct Case {
    const char* name;
    int32_t width, height;
    uint32_t flags;
    HWND parent;
    LONG left, top, outerWidth, outerHeight;  // -1: not checked here
  } const cases[] = {
      {"larger than the screen", 2 * screenWidth, 2 * screenHeight, 0x1, nullptr, 0, 0, screenWidth,
       screenHeight},
      {"on the parent", 200, 100, 0x2, parent, -1, -1, -1, -1},
      {"would start above and left of the screen", 600, 400, 0x2, corner, 0, 0, -1, -1},
      {"screen wins over parent", 200, 100, 0x3, corner, -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto handle = reinterpret_cast<HWND>(
        WindowOpenWithParent(3, 5, 5, c.width, c.height, "Kind", c.flags, c.parent));
    ASSERT_TRUE(IsWindow(handle));
    RECT r;
    GetWindowRect(handle, &r);
    if (c.left != -1) {
      EXPECT_EQ(r.left, c.left);
    }
    if (c.top != -1) {
      EXPECT_EQ(r.top, c.top);
    }
    if (c.outerWidth != -1) {
      EXPECT_EQ(r.right - r.left, c.outerWidth);
    }
    if (c.outerHeight != -1) {
      EXPECT_EQ(r.bottom - r.top, c.outerHeight);
    }
    if (c.parent == parent) {
      EXPECT_EQ((r.left + r.right) / 2, (p.left + p.right) / 2);
      EXPECT_EQ(GetWindow(handle, GW_OWNER), parent);
    }
    if (c.flags == 0x3) {
      EXPECT_EQ(r.left, (screenWidth - (r.right - r.left)) / 2);
    }
    WindowClose(3);
  }
}

TEST_F(RuntimeWindowTest, CentringOnNothingKeepsThePositionGiven) {
  ASSERT_EQ(GetActiveWindow(), nullptr);
  auto handle = reinterpret_cast<HWND>(
      WindowOpen(0, -65535, -65535, 100, 50, "T", 0x2 | WindowFlagHidden));
  RECT r;
  GetWindowRect(handle, &r);
  EXPECT_EQ(r.left, -65535);
  EXPECT_EQ(r.top, -65535);
}

TEST_F(RuntimeWindowTest, DynamicWindowIsNamedByItsHandle) {
  intptr_t id = WindowOpen(-1, 10, 10, 100, 50, "Dyn", 0);
  ASSERT_NE(id, 0);
  WindowRecord* record = WindowFind(id);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(record), id) << "the handle is the record's address";
  std::string className = "WindowClass_" + std::to_string(static_cast<long long>(id));
  EXPECT_EQ(ClassNameOf(record->handle), className);
  EXPECT_EQ(GetPropA(record->handle, PropertyWindowId), reinterpret_cast<HANDLE>(id + 1));
  HWND handle = record->handle;
  WindowClose(id);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(WindowClassRegistered(className.c_str()));
  EXPECT_EQ(WindowFind(id), nullptr);
  WindowClose(id);  // stale: ignored
}

TEST_F(RuntimeWindowTest, ReopeningANumberClosesTheOldWindowFirst) {
  auto first = reinterpret_cast<HWND>(WindowOpen(4, 10, 10, 100, 50, "Alt", 0));
  auto second = reinterpret_cast<HWND>(WindowOpen(4, 10, 10, 100, 50, "Neu", 0));
  EXPECT_FALSE(IsWindow(first));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_EQ(WindowFind(4)->handle, second);
  EXPECT_TRUE(WindowClassRegistered("WindowClass_4"));
  WindowClose(4);
  EXPECT_FALSE(WindowClassRegistered("WindowClass_4"));
  EXPECT_EQ(WindowFind(4), nullptr);
}

// What the global callback below saw and did while window 3 was being made.
struct OpeningDuringCreation {
  const unsigned char* entriesBefore;  // the window table's array when the callback ran
  void* block;                         // a MainHeap block allocated just before window 4000
  intptr_t inner;                      // WindowOpen's answer for window 4000
} openingDuringCreation;

// At the first WM_CREATE it sees, opens window 4000, far beyond the table's 16 entries, as a
// program's callback may; a block allocated just before keeps the array from growing in place.
LRESULT CALLBACK OpenWindow4000AtCreate(HWND, UINT message, WPARAM, LPARAM) {
  OpeningDuringCreation& seen = openingDuringCreation;
  if (message == WM_CREATE && !seen.entriesBefore) {
    seen.entriesBefore = WindowTable->entries;
    seen.block = HeapAlloc(MainHeap, 0, 64);
    seen.inner = WindowOpen(4000, 40, 40, 100, 50, "4000", 0);
  }
  return PASS_ON;
}

TEST_F(RuntimeWindowTest, WindowOpenedByACallbackDuringCreationLeavesTheRecord) {
  openingDuringCreation = {};
  Events->globalCallback = OpenWindow4000AtCreate;
  auto handle = reinterpret_cast<HWND>(WindowOpen(3, 10, 10, 100, 50, "3", 0));
  Events->globalCallback = nullptr;
  HeapFree(MainHeap, 0, openingDuringCreation.block);
  ASSERT_NE(openingDuringCreation.entriesBefore, nullptr) << "no WM_CREATE reached the callback";
  ASSERT_NE(WindowTable->entries, openingDuringCreation.entriesBefore) << "the array stayed";
  ASSERT_TRUE(IsWindow(handle)) << "got " << handle;
  ASSERT_NE(WindowFind(3), nullptr);
  EXPECT_EQ(WindowFind(3)->handle, handle);
  EXPECT_EQ(GetPropA(handle, PropertyWindowId), reinterpret_cast<HANDLE>(4));
  ASSERT_NE(WindowFind(4000), nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(WindowFind(4000)->handle), openingDuringCreation.inner);
  WindowClose(3);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(WindowClassRegistered("WindowClass_3"));
}

std::string TitleOf(HWND window) {
  char title[16] = "";
  GetWindowTextA(window, title, sizeof title);
  return title;
}

// The messages of the trail that are listed, as "<message> <title>" in order. Titles were taken
// when the logs were made, since the windows may be gone.
std::vector<std::string> TrailOf(const std::vector<MSG>& trail, std::map<HWND, std::string> titles,
                                 std::map<UINT, std::string> names) {
  std::vector<std::string> lines;
  for (const MSG& m : trail) {
    if (!names.count(m.message)) continue;
    if (m.message == WM_ACTIVATE && !LOWORD(m.wParam)) continue;
    lines.push_back(names[m.message] + " " + titles[m.hwnd]);
  }
  return lines;
}

TEST_F(RuntimeWindowTest, LayerEndClosesNumbersInOrderThenDynamicWindows) {
  intptr_t dynamic = WindowOpen(-1, 10, 10, 100, 50, "dyn", 0);
  WindowOpen(2, 10, 10, 100, 50, "2", 0);
  WindowOpen(0, 10, 10, 100, 50, "0", 0);
  std::vector<MSG> trail;
  std::map<HWND, std::string> titles;
  std::vector<std::unique_ptr<MessageLog>> logs;
  for (intptr_t number : {intptr_t{0}, intptr_t{2}, dynamic}) {
    HWND handle = WindowFind(number)->handle;
    titles[handle] = TitleOf(handle);
    logs.push_back(std::make_unique<MessageLog>(handle, &trail));
  }
  WindowLayerEnd();
  EXPECT_EQ(TrailOf(trail, titles, {{WM_DESTROY, "destroy"}}),
            (std::vector<std::string>{"destroy 0", "destroy 2", "destroy dyn"}));
  EXPECT_FALSE(WindowClassRegistered("WindowClass_0"));
  EXPECT_FALSE(WindowClassRegistered("WindowClass_2"));
  EXPECT_EQ(WindowFind(dynamic), nullptr);
}

TEST_F(RuntimeWindowTest, ClosingAnOwnedWindowActivatesItsOwnerFirst) {
  auto owner = reinterpret_cast<HWND>(WindowOpen(1, 10, 10, 200, 100, "owner", 0));
  // Above the owner in the z-order: the platform alone would activate it next.
  WindowOpen(3, 300, 10, 100, 50, "bystander", 0);
  auto owned = reinterpret_cast<HWND>(WindowOpenWithParent(2, 40, 40, 100, 50, "owned", 0, owner));
  ASSERT_EQ(GetActiveWindow(), owned);
  std::vector<MSG> trail;
  MessageLog ownerLog(owner, &trail);
  MessageLog ownedLog(owned, &trail);
  WindowClose(2);
  EXPECT_EQ(TrailOf(trail, {{owner, "owner"}, {owned, "owned"}},
                    {{WM_ACTIVATE, "activate"}, {WM_DESTROY, "destroy"}}),
            (std::vector<std::string>{"activate owner", "destroy owned"}));
  EXPECT_EQ(GetActiveWindow(), owner);
  WindowClose(3);
  EXPECT_EQ(GetActiveWindow(), owner) << "a window without owner activates nothing as it goes";
}

LRESULT CALLBACK CloseWindow5AtShow(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_SHOWWINDOW && wParam) WindowClose(5);
  return PASS_ON;
}

// A callback may close the window while it is being shown: then it was never opened.
TEST_F(RuntimeWindowTest, WindowClosedWhileItIsShownIsNotOpened) {
  Events->globalCallback = CloseWindow5AtShow;
  intptr_t opened = WindowOpen(5, 10, 10, 100, 50, "5", 0);
  Events->globalCallback = nullptr;
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(WindowFind(5), nullptr);
}

LRESULT CALLBACK AnswerZero(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

TEST_F(RuntimeWindowTest, BadNumbersAndTextsAreHarmless) {
  intptr_t stale = WindowOpen(-1, 10, 10, 100, 50, "stale", 0);
  WindowClose(stale);
  for (intptr_t number : {intptr_t{-2}, intptr_t{-65535}, intptr_t{12345}, stale, intptr_t{1}}) {
    SCOPED_TRACE(number);
    WindowClose(number);
    WindowCallbackSet(number, AnswerZero);
    WindowBackgroundSet(number, 0xFF);
    WindowSizeLimitsSet(number, 1, 2, 3, 4);
    WindowDropAccept(number);
    EXPECT_EQ(WindowFind(number), nullptr);
  }
  EXPECT_EQ(WindowOpen(-2, 10, 10, 100, 50, "T", 0), 0);
  // More than the table can hold (beyond 32 bits on x86_64): refused, never cut down to another.
  EXPECT_EQ(WindowOpen(static_cast<intptr_t>(UINTPTR_MAX >> 1), 10, 10, 100, 50, "T", 0), 0);
  EXPECT_EQ(WindowAcceleratorFor(nullptr), nullptr);

  auto untitled = reinterpret_cast<HWND>(WindowOpen(0, 10, 10, 100, 50, nullptr, 0));
  // A notification without its header, as anyone may send one.
  EXPECT_EQ(SendMessageA(untitled, WM_NOTIFY, 0, 0), 0);
  EXPECT_EQ(GetWindowTextLengthA(untitled), 0);
  std::string longTitle(30000, 'W');
  auto titled = reinterpret_cast<HWND>(WindowOpen(1, 10, 10, 100, 50, longTitle.c_str(), 0));
  ASSERT_TRUE(IsWindow(titled));
  EXPECT_EQ(GetWindowTextLengthA(titled), 30000);
  auto huge = reinterpret_cast<HWND>(WindowOpen(2, 0, 0, INT32_MAX, INT32_MAX, "gross", 0x1));
  EXPECT_TRUE(IsWindow(huge)) << "cut to the screen";
}

TEST_F(RuntimeWindowTest, ClosingFreesWhatTheRecordOwns) {
  auto handle = reinterpret_cast<HWND>(WindowOpen(0, 10, 10, 100, 50, "T", 0));
  WindowBackgroundSet(0, 0x00123456);
  WindowDropAccept(0);
  HBRUSH brush = WindowFind(0)->backgroundBrush;
  HACCEL table = WindowFind(0)->acceleratorTable;
  ASSERT_NE(brush, nullptr);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(GetPropA(handle, PropertyDropAccept), reinterpret_cast<HANDLE>(1));
  WindowBackgroundSet(0, 0x00654321);
  EXPECT_EQ(GetObjectType(brush), 0u) << "the replaced brush is deleted";
  brush = WindowFind(0)->backgroundBrush;
  WindowClose(0);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_FALSE(DestroyAcceleratorTable(table)) << "already destroyed";
}

// Focus moves by the real Tab key through the event wait, as the program's loop runs it.
TEST_F(RuntimeWindowTest, TabAndShiftTabMoveTheFocusThroughTheAccelerators) {
  // cppcheck-suppress leakReturnValNotUsed ; stays loaded: its class must outlive every window
  LoadLibraryA("riched20.dll");
  auto window = reinterpret_cast<HWND>(WindowOpen(0, 100, 100, 300, 200, "Tab", 0));
  HWND first = TestControlCreate(window, "Edit", "", WS_VISIBLE | WS_TABSTOP, 10, 10, 100, 20, 1);
  HWND rich = TestControlCreate(window, RICHEDIT_CLASSA, "", WS_VISIBLE | WS_TABSTOP, 10, 40,
                                100, 20, 2);
  HWND last = TestControlCreate(window, "Edit", "", WS_VISIBLE | WS_TABSTOP, 10, 70, 100, 20, 3);
  ASSERT_TRUE(ForegroundMake(window));
  struct Step {
    const char* name;
    HWND from;
    bool readOnly;  // the rich-edit control's state
    WORD modifier;  // 0 or VK_SHIFT
    HWND to;
    const char* richText;  // what the rich-edit control holds afterwards
  } const steps[] = {
      {"Tab", first, false, 0, rich, ""},
      {"Shift+Tab wraps", first, false, VK_SHIFT, last, ""},
      {"Tab wraps", last, false, 0, first, ""},
      {"writable rich edit keeps Tab", rich, false, 0, rich, "\t"},
      {"read-only rich edit passes Tab on", rich, true, 0, last, ""},
      {"Shift+Tab leaves a writable rich edit", rich, false, VK_SHIFT, first, ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    SetWindowTextA(rich, "");
    SendMessageA(rich, EM_SETREADONLY, s.readOnly, 0);
    SetFocus(s.from);
    if (s.modifier) {
      KeyPressWith(s.modifier, VK_TAB);
    } else {
      KeyPress(VK_TAB);
    }
    EventsRunFor(200);
    EXPECT_EQ(GetFocus(), s.to);
    char text[8] = "?";
    GetWindowTextA(rich, text, sizeof text);
    EXPECT_STREQ(text, s.richText);
  }
  // With no focus at all, a Tab (down in the thread's key state) is the accelerators'.
  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE tab = keys[VK_TAB];
  keys[VK_TAB] = 0x80;
  SetKeyboardState(keys);
  SetFocus(nullptr);
  EXPECT_EQ(WindowAcceleratorFor(window), WindowFind(0)->acceleratorTable);
  keys[VK_TAB] = tab;
  SetKeyboardState(keys);
}

// A runtime window as an MDI frame (KX_MDI_Gadget names its client) and another as one of its
// children, the way a program would set them up.
TEST_F(RuntimeWindowTest, MdiFrameAndChildTakeTheFramePaths) {
  auto frame = reinterpret_cast<HWND>(WindowOpen(0, 50, 50, 400, 300, "Rahmen", 0));
  CLIENTCREATESTRUCT clientCreate = {nullptr, 1000};
  HWND client = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 100, 80, frame,
                                nullptr, ModuleInstance, &clientCreate);
  ASSERT_NE(client, nullptr) << "error " << GetLastError();
  SetPropA(frame, PropertyMdiGadget, client);

  SendMessageA(frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 300));
  RECT r = RectInParent(client);
  EXPECT_EQ(r.right - r.left, 100) << "WM_SIZE never reaches the frame procedure";
  SendMessageA(frame, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(GetFocus(), client) << "the frame procedure hands the focus to its client";
  SendMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(frame)) << "a handled close request never reaches the frame procedure";

  auto child = reinterpret_cast<HWND>(
      WindowOpenWithParent(1, 0, 0, 120, 60, "Kind", WS_CHILD | WS_CAPTION, client));
  ASSERT_TRUE(IsWindow(child));
  WindowMdiClientSet(1, client);
  WindowClose(1);
  EXPECT_FALSE(IsWindow(child)) << "destroyed through its MDI client";
  EXPECT_EQ(WindowFind(1), nullptr);
  RemovePropA(frame, PropertyMdiGadget);
}

}  // namespace
