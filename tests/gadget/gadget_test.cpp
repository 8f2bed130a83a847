#include "gadget/gadget.h"

#include "gadget/brush_cache.h"
#include "gadget/frame_gadget.h"
#include "gadget/option_gadget.h"
#include "gadget/string_gadget.h"
#include "runtime/protocol.h"
#include "tests/gadget/gadget_fixture.h"

#include <algorithm>
#include <climits>
#include <ole2.h>
#include <functional>
#include <limits>

namespace {

// Every case takes number 1 again: the gadget before it, with its brush, goes first.
TEST_F(GadgetTest, EachKindAndLookHasItsClassStylesNumberAndFont) {
  struct Case {
    std::function<intptr_t()> create;
    const char* className;
    LONG_PTR style, exStyle;
    const char* text;
  } const cases[] = {
      {[] { return OptionGadgetCreate(1, 0, 0, 80, 20, "Mann"); }, "Button", 0x50030009, 0, "Mann"},
      {[] { return StringGadgetCreate(1, 0, 0, 80, 20, nullptr, 0); }, "Edit", 0x50030080, 0x200, ""},
      {[] { return StringGadgetCreate(1, 0, 0, 80, 20, "x", 0x800); }, "Edit", 0x50030880, 0x200, "x"},
      {[] { return StringGadgetCreate(1, 0, 0, 80, 20, "x", 0x20000); }, "Edit", 0x50030080, 0, "x"},
      {[] { return FrameGadgetCreate(1, 0, 0, 80, 40, "Werte"); }, "Button", 0x50020007, 0, "Werte"},
      {[] { return FrameGadgetCreate(1, 0, 0, 80, 40, "Werte", 1); }, "Static", 0x54020001, 0x200, ""},
      {[] { return FrameGadgetCreate(1, 0, 0, 80, 40, "Werte", 2); }, "Static", 0x54020001, 0x20000, ""},
      {[] { return FrameGadgetCreate(1, 0, 0, 80, 40, "Werte", 9); }, "Static", 0x54820001, 0, ""},
  };
  std::vector<MSG> trail;
  MessageLog log(window_, &trail);
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    GadgetListUse(window_);  // so that the option starts a group
    trail.clear();
    HWND control = reinterpret_cast<HWND>(c.create());
    // Made with identifier -1, which its creation reports to the list window.
    // cppcheck-suppress knownEmptyContainer ; the log fills the trail through its pointer
    auto created = std::find_if(trail.begin(), trail.end(), [](const MSG& m) {
      return m.message == WM_PARENTNOTIFY && LOWORD(m.wParam) == WM_CREATE;
    });
    ASSERT_NE(created, trail.end());
    EXPECT_EQ(HIWORD(created->wParam), 0xFFFF);
    ASSERT_EQ(control, ControlOf(1));
    EXPECT_EQ(GadgetFind(1)->backColor, c.className[0] == 'E' ? -1 : 0) << "a zeroed entry";
    GadgetSetColor(1, GadgetColorBack, 0x123456);
    char name[16] = "", text[16] = "?";
    GetClassNameA(control, name, sizeof name);
    GetWindowTextA(control, text, sizeof text);
    EXPECT_STREQ(name, c.className);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE), c.style);
    EXPECT_EQ(GetWindowLongPtrA(control, GWL_EXSTYLE), c.exStyle);
    EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), 1);
    EXPECT_EQ(GetPropA(control, PropertyGadgetId), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
  }
  EXPECT_EQ(ChildWindows(window_).size(), 1u);
  EXPECT_EQ(BrushCacheList, nullptr);
}

TEST_F(GadgetTest, EveryOperationByNumberTakesADynamicNumber) {
  intptr_t field = StringGadgetCreate(-1, 0, 0, 80, 20, "alt", 0);
  intptr_t option = OptionGadgetCreate(-1, 0, 30, 80, 20, "a");
  intptr_t frame = FrameGadgetCreate(-1, 0, 60, 80, 40, nullptr, 1);
  EXPECT_EQ(GetWindowLongPtrA(ControlOf(field), GWLP_ID), field);
  EXPECT_EQ(GetPropA(ControlOf(field), PropertyGadgetId), reinterpret_cast<HANDLE>(field));
  GadgetSetText(field, nullptr);
  GadgetSetColor(field, GadgetColorBack, 0xFF);
  GadgetSetState(option, 1);
  GadgetResizeByNumber(frame, 5, GadgetKeep, GadgetKeep, 50);  // through the frame's slot
  GadgetResizeByNumber(field, GadgetKeep, 100, 40, GadgetKeep);
  EXPECT_EQ(GetWindowTextLengthA(ControlOf(field)), 0);
  EXPECT_EQ(GadgetGetColor(field, GadgetColorBack), 0xFF);
  EXPECT_EQ(GadgetGetState(option), 1);
  EXPECT_EQ(PlaceOf(frame), (std::vector<LONG>{5, 60, 85, 110}));
  EXPECT_EQ(PlaceOf(field), (std::vector<LONG>{0, 100, 40, 120}));
  for (intptr_t number : {field, option, frame}) GadgetFree(number);
  EXPECT_TRUE(ChildWindows(window_).empty());
}

TEST_F(GadgetTest, NumbersWithoutAGadgetChangeNothing) {
  StringGadgetCreate(4, 0, 0, 80, 20, "x", 0);
  GadgetFree(4);
  intptr_t stale = StringGadgetCreate(-1, 0, 0, 80, 20, "x", 0);
  GadgetFree(stale);
  HWND live = reinterpret_cast<HWND>(StringGadgetCreate(5, 0, 0, 80, 20, "bleibt", 0));
  for (intptr_t number : {intptr_t{-2}, intptr_t{INT_MIN}, intptr_t{4}, stale, intptr_t{1000}}) {
    GadgetSetText(number, "weg");
    GadgetSetColor(number, GadgetColorBack, 0xFF);
    GadgetSetState(number, 1);
    GadgetResizeByNumber(number, 0, 0, 1, 1);
    GadgetFree(number);
    EXPECT_EQ(GadgetGetColor(number, GadgetColorBack), -1) << number;
    EXPECT_EQ(GadgetGetState(number), -1) << number;
  }
  // The largest number is beyond what the table can grow to, on either target.
  for (intptr_t number : {intptr_t{-2}, intptr_t{INT_MIN}, std::numeric_limits<intptr_t>::max()}) {
    EXPECT_EQ(OptionGadgetCreate(number, 0, 0, 80, 20, "x"), 0) << number;
    EXPECT_EQ(StringGadgetCreate(number, 0, 0, 80, 20, "x", 0), 0) << number;
    EXPECT_EQ(FrameGadgetCreate(number, 0, 0, 80, 20, "x", 1), 0) << number;
  }
  EXPECT_EQ(ChildWindows(window_), std::vector<HWND>{live}) << "no control left behind";
  char text[8] = "";
  GetWindowTextA(live, text, sizeof text);
  EXPECT_STREQ(text, "bleibt");
}

int32_t KeptX(GadgetRecord*) { return 3; }
int32_t KeptY(GadgetRecord*) { return 4; }
int32_t KeptWidth(GadgetRecord*) { return 50; }
int32_t KeptHeight(GadgetRecord*) { return 60; }

// GadgetResize on a record of each kind code, for a control that starts at place A (10, 20, 40 x
// 30) or B (110, 120, 60 x 50), in turn, so that no row can pass on the rectangle of the row
// before: each kept value from the kind's own slot when it has one, else from the control's
// rectangle; and only kinds 1 and 3 invalidate the control beyond what the move itself does
// (nothing, when it stays put).
TEST_F(GadgetTest, ResizeKeepsEachValueByItselfAndRepaintsKinds1And3) {
  constexpr int32_t K = GadgetKeep;
  GadgetType plain[] = {GadgetTypeBlank(1), GadgetTypeBlank(2), GadgetTypeBlank(3),
                        GadgetTypeBlank(5), GadgetTypeBlank(7)};
  GadgetType slots = GadgetTypeBlank(2);
  slots.getX = KeptX;
  slots.getY = KeptY;
  slots.getWidth = KeptWidth;
  slots.getHeight = KeptHeight;
  enum { A, B };
  const RECT from[] = {{10, 20, 40, 30}, {110, 120, 60, 50}};  // left, top, width, height
  struct Case {
    const GadgetType* type;
    int at;
    int32_t x, y, width, height;
    std::vector<LONG> place;
    bool invalidated;
  } const cases[] = {
      {&plain[1], A, K, 15, 70, K, {10, 15, 80, 45}, false},
      {&plain[1], B, 5, K, K, 33, {5, 120, 65, 153}, false},
      {&plain[1], A, K, 15, 70, 33, {10, 15, 80, 48}, false},
      {&plain[1], B, 5, K, 70, 33, {5, 120, 75, 153}, false},
      {&plain[1], A, 5, 15, K, 33, {5, 15, 45, 48}, false},
      {&plain[1], B, 5, 15, 70, K, {5, 15, 75, 65}, false},
      {&plain[1], A, 6, 7, 8, 9, {6, 7, 14, 16}, false},
      {&slots, B, K, 15, 70, K, {3, 15, 73, 75}, false},
      {&slots, A, 5, K, K, 33, {5, 4, 55, 37}, false},
      {&slots, B, K, K, K, K, {3, 4, 53, 64}, false},
      {&plain[0], A, K, K, K, K, {10, 20, 50, 50}, true},
      {&plain[1], B, K, K, K, K, {110, 120, 170, 170}, false},
      {&plain[2], A, K, K, K, K, {10, 20, 50, 50}, true},
      {&plain[3], B, K, K, K, K, {110, 120, 170, 170}, false},
      {&plain[4], A, K, K, K, K, {10, 20, 50, 50}, false},
  };
  HWND control = TestControlCreate(window_, "Static", "", WS_VISIBLE, 10, 20, 40, 30, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    const RECT& start = from[c.at];
    MoveWindow(control, start.left, start.top, start.right, start.bottom, TRUE);
    UpdateWindow(window_);
    UpdateWindow(control);
    GadgetRecord record = {};
    record.control = control;
    record.type = c.type;
    GadgetResize(&record, c.x, c.y, c.width, c.height);
    RECT r = RectInParent(control);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), c.place);
    if (c.x == K && c.y == K && c.width == K && c.height == K && c.type != &slots) {
      EXPECT_EQ(GetUpdateRect(control, nullptr, FALSE) != 0, c.invalidated) << "kind " << c.type->kind;
    }
  }
  DestroyWindow(control);
}

// A drop target that counts its references and takes nothing.
struct CountedDropTarget : IDropTarget {
  LONG references = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    bool known = IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IDropTarget));
    *out = known ? this : nullptr;
    if (known) AddRef();
    return known ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return E_FAIL; }
};

// A gadget whose control accepts drops gives its drop target back as the control goes.
TEST_F(GadgetTest, DestroyedControlRevokesItsDropTarget) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  CountedDropTarget target;
  HWND control = reinterpret_cast<HWND>(StringGadgetCreate(1, 0, 0, 80, 20, "x", 0));
  ASSERT_EQ(RegisterDragDrop(control, &target), S_OK);
  SetPropA(control, PropertyDropAccept, reinterpret_cast<HANDLE>(1));
  EXPECT_GT(target.references, 1);
  GadgetFree(1);
  EXPECT_EQ(target.references, 1);
  OleUninitialize();
}

// A control of identifier 0 without KX_ID reads like gadget 0, but is not its control.
TEST_F(GadgetTest, OnlyAGadgetsOwnControlReachesItsKind) {
  StringGadgetCreate(0, 0, 0, 80, 20, "x", 0);
  GadgetSetColor(0, GadgetColorBack, 0xFF);
  HWND option = reinterpret_cast<HWND>(OptionGadgetCreate(1, 0, 30, 80, 20, "a"));
  HWND gone = reinterpret_cast<HWND>(StringGadgetCreate(2, 0, 60, 80, 20, "x", 0));
  GadgetFree(2);
  HWND stranger = TestControlCreate(window_, "Static", "", WS_VISIBLE, 0, 90, 80, 20, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  auto forward = [&](HWND control) {
    return GadgetMessageForward(control, window_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control));
  };
  EXPECT_EQ(forward(ControlOf(0)), reinterpret_cast<LRESULT>(GadgetFind(0)->brush));
  for (HWND control : {HWND(nullptr), option, gone, stranger}) {
    EXPECT_EQ(forward(control), UNHANDLED) << control;
  }
  DeleteDC(dc);
}

// What the list window's procedure below saw and did while gadget 7's first control went.
struct MadeDuringDestruction {
  WNDPROC listProc;  // the fixture's procedure of the list window
  HWND first;        // gadget 7's first control; null once the procedure has acted
  intptr_t inner;    // StringGadgetCreate's answer for the gadget 7 made then
} madeDuringDestruction;

// When the first control's destruction is reported to the list window, makes gadget 7 again, as
// a program's callback of that window may.
LRESULT CALLBACK MakeGadget7AtDestruction(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MadeDuringDestruction& seen = madeDuringDestruction;
  if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_DESTROY &&
      reinterpret_cast<HWND>(lParam) == seen.first) {
    seen.first = nullptr;
    seen.inner = StringGadgetCreate(7, 0, 30, 80, 20, "innen", 0);
  }
  return CallWindowProcA(seen.listProc, window, message, wParam, lParam);
}

TEST_F(GadgetTest, GadgetMadeWhileTheNumbersOldOneGoesIsReplacedToo) {
  madeDuringDestruction = {};
  madeDuringDestruction.first =
      reinterpret_cast<HWND>(StringGadgetCreate(7, 0, 0, 80, 20, "alt", 0));
  madeDuringDestruction.listProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MakeGadget7AtDestruction)));
  HWND control = reinterpret_cast<HWND>(StringGadgetCreate(7, 0, 60, 80, 20, "neu", 0));
  ASSERT_NE(madeDuringDestruction.inner, 0) << "no gadget was made during the destruction";
  EXPECT_EQ(ControlOf(7), control);
  EXPECT_EQ(ChildWindows(window_), std::vector<HWND>{control})
      << "the gadget made meanwhile goes, as the first one did";
}

}  // namespace
