#include "gadget/gadget_list.h"

#include "gadget/string_gadget.h"
#include "runtime/memory.h"
#include "tests/gadget/gadget_fixture.h"

namespace {

HWND FieldCreate(intptr_t number) {
  return reinterpret_cast<HWND>(StringGadgetCreate(number, 10, 30 * number, 80, 20, "x", 0));
}

TEST_F(GadgetTest, SwitchingToAnotherWindowAndBackRestoresItsList) {
  HWND other = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  HWND first = FieldCreate(1);
  EXPECT_EQ(GadgetListUse(other), window_);
  HWND second = FieldCreate(2);
  EXPECT_EQ(GadgetListUse(window_), other);
  HWND third = FieldCreate(3);
  EXPECT_EQ(ChildWindows(window_), (std::vector<HWND>{first, third}));
  EXPECT_EQ(ChildWindows(other), std::vector<HWND>{second});
  DestroyWindow(other);
  EXPECT_EQ(GadgetListUse(nullptr), window_) << "a parked list's window went; the current one stays";
}

TEST_F(GadgetTest, DestroyingTheListWindowLeavesNoneUntilTheNextUse) {
  FieldCreate(1);
  DestroyWindow(window_);
  EXPECT_EQ(GadgetListUse(nullptr), nullptr);
  EXPECT_EQ(FieldCreate(2), nullptr) << "a gadget needs a list window";
  window_ = TestWindowCreate(nullptr, 100, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  EXPECT_EQ(GadgetListUse(window_), nullptr);
  EXPECT_EQ(GetParent(FieldCreate(2)), window_);
}

TEST_F(GadgetTest, RefusedSwitchKeepsTheCurrentList) {
  HWND other = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  HWND gone = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  DestroyWindow(gone);
  EXPECT_EQ(GadgetListUse(gone), window_);
  // A fixed heap filled up stands in for a MainHeap without room for the new window's record.
  HANDLE full = HeapCreate(0, 0, 65536);
  while (HeapAlloc(full, 0, 16)) {
  }
  HANDLE mainHeap = MainHeap;
  MainHeap = full;
  EXPECT_EQ(GadgetListUse(other), window_);
  MainHeap = mainHeap;
  HeapDestroy(full);
  EXPECT_EQ(GadgetListUse(nullptr), window_);
  EXPECT_NE(GetWindowLongPtrA(other, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListWindowProc));
  EXPECT_EQ(GetParent(FieldCreate(1)), window_);
  DestroyWindow(other);
}

}  // namespace
