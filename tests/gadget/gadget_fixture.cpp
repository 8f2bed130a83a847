#include "tests/gadget/gadget_fixture.h"

#include "gadget/brush_cache.h"
#include "runtime/protocol.h"

std::vector<ColourMessage> ColoursSeen;
std::vector<std::string> FocusSeen;

namespace {

LRESULT Forwarded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT answer =
      GadgetMessageForward(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
  return answer != UNHANDLED ? answer : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnColour(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT answer = Forwarded(window, message, wParam, lParam);
  HDC dc = reinterpret_cast<HDC>(wParam);
  ColoursSeen.push_back(
      {message, reinterpret_cast<HWND>(lParam), GetTextColor(dc), GetBkColor(dc), answer});
  return answer;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  WORD code = HIWORD(wParam);
  if (code == EN_SETFOCUS || code == EN_KILLFOCUS) {
    MSG event = {};
    PeekMessageA(&event, window, MessageGadgetEvent, MessageGadgetEvent, PM_REMOVE);
    FocusSeen.push_back(std::to_string(code) + " " + std::to_string(static_cast<intptr_t>(event.wParam)) +
                        " " + std::to_string(event.lParam));
  }
  return Forwarded(window, WM_COMMAND, wParam, lParam);
}

LRESULT CALLBACK ListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return OnColour(window, message, wParam, lParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void GadgetTest::SetUp() {
  ColoursSeen.clear();
  FocusSeen.clear();
  window_ = TestWindowCreate(ListWindowProc, 100, 100, 400, 300);
  ASSERT_NE(window_, nullptr);
  GadgetListUse(window_);
}

void GadgetTest::TearDown() {
  if (IsWindow(window_)) DestroyWindow(window_);
  intptr_t number = 0;
  ObjectIterateStart(GadgetTable);
  EXPECT_EQ(ObjectIterateNext(GadgetTable, &number), nullptr)
      << "gadget " << number << " outlived its window";
  EXPECT_EQ(BrushCacheList, nullptr);
}

HWND ControlOf(intptr_t number) {
  GadgetRecord* record = GadgetFind(number);
  return record ? record->control : nullptr;
}

std::vector<LONG> PlaceOf(intptr_t number) {
  RECT r = RectInParent(ControlOf(number));
  return {r.left, r.top, r.right, r.bottom};
}
