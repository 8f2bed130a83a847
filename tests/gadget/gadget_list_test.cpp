#include "gadget/gadget_list.h"

#include "gadget/string_gadget.h"
#include "runtime/memory.h"
#include "tests/gadget/gadget_fixture.h"

namespace {

HWND FieldCreate(intptr_t number) {
  return reinterpret_cast<HWND>(
      StringGadgetCreate(number, 10, static_cast<int>(30 * number), 80, 20, "x", 0));
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
  // A fixed heap filled up stands in for a MainHeap in want. One freed record-sized block (among
  // taken ones) leaves room for a window's record but not for its stack.
  HANDLE heap = HeapCreate(0, 0, 65536);
  void* hole = HeapAlloc(heap, 0, sizeof(GadgetStackRecord));
  // cppcheck-suppress leakNoVarFunctionCall ; HeapDestroy frees every block of the heap
  while (HeapAlloc(heap, 0, sizeof(GadgetStackRecord))) {
  }
  HeapFree(heap, 0, hole);
  HANDLE mainHeap = MainHeap;
  // cppcheck-suppress constVariable ; a window handle has no pointer-to-const form
  for (HWND current : {window_, HWND(nullptr)}) {
    if (!current) {
      DestroyWindow(window_);  // the live stack stays for the next window: only a record is needed
      // cppcheck-suppress leakReturnValNotUsed ; HeapDestroy frees every block of the heap
      HeapAlloc(heap, 0, sizeof(GadgetStackRecord));
    }
    MainHeap = heap;
    EXPECT_EQ(GadgetListUse(other), current);
    MainHeap = mainHeap;
    EXPECT_EQ(GadgetListUse(nullptr), current);
  }
  HeapDestroy(heap);
  EXPECT_NE(GetWindowLongPtrA(other, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListWindowProc));
  DestroyWindow(other);
}

}  // namespace
