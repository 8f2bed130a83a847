#include "gadget/gadget_list.h"

#include "gadget/string_gadget.h"
#include "runtime/instance.h"
#include "runtime/memory.h"
#include "tests/gadget/gadget_fixture.h"

#include <string>
#include <tuple>

namespace {

int BusyBlocks(HANDLE heap) {
  PROCESS_HEAP_ENTRY entry = {};
  int count = 0;
  while (HeapWalk(heap, &entry)) count += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
  return count;
}

GadgetStackRecord* StackRecordOf(HWND window) {
  std::string name = "KX_GadgetStack_" + std::to_string(reinterpret_cast<intptr_t>(ModuleInstance));
  return static_cast<GadgetStackRecord*>(GetPropA(window, name.c_str()));
}

// The list state (window, stack, depth, capacity, optionRun), and what a record holds.
auto State() {
  const GadgetListState& s = *GadgetList;
  return std::make_tuple(s.window, s.stack, s.depth, s.capacity, s.optionRun);
}
auto Parked(const GadgetStackRecord* r) {
  return std::make_tuple(r->window, r->savedWindow, r->savedStack, r->savedDepth, r->savedCapacity);
}

HWND FieldCreate(intptr_t number) {
  return reinterpret_cast<HWND>(
      StringGadgetCreate(number, 10, static_cast<int>(30 * number), 80, 20, "x", 0));
}

TEST_F(GadgetTest, SwitchingToAnotherWindowAndBackRestoresItsList) {
  HWND other = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  LONG_PTR otherProc = GetWindowLongPtrA(other, GWLP_WNDPROC);
  HWND first = FieldCreate(1);
  // A stack in use names its entry 0 as the list window; the depth and the capacity must travel
  // with the stack.
  HWND* stack = GadgetList->stack;
  GadgetList->depth = 1;
  stack[0] = other;
  EXPECT_EQ(GadgetListUse(nullptr), other);
  stack[0] = window_;
  GadgetList->capacity = 7;
  GadgetList->optionRun = 1;
  EXPECT_EQ(GadgetListUse(other), window_);
  GadgetStackRecord* parked = StackRecordOf(window_);
  GadgetStackRecord* adopted = StackRecordOf(other);
  ASSERT_TRUE(parked && adopted);
  HWND* otherStack = GadgetList->stack;
  EXPECT_EQ(Parked(parked), std::make_tuple(window_, window_, stack, 1, 7));
  EXPECT_EQ(Parked(adopted), std::make_tuple(other, HWND(nullptr), static_cast<HWND*>(nullptr), 0, 0));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(adopted->oldProc), otherProc);
  EXPECT_EQ(GetWindowLongPtrA(other, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListWindowProc));
  EXPECT_TRUE(otherStack && otherStack != stack);
  EXPECT_EQ(State(), std::make_tuple(other, otherStack, 0, 10, 0));
  HWND second = FieldCreate(2);
  GadgetList->optionRun = 1;
  EXPECT_EQ(GadgetListUse(window_), other);
  EXPECT_EQ(State(), std::make_tuple(window_, stack, 1, 7, 0));
  EXPECT_EQ(parked->savedStack, nullptr);
  EXPECT_EQ(Parked(adopted), std::make_tuple(other, other, otherStack, 0, 10));
  GadgetList->depth = 0;
  GadgetList->capacity = 10;
  HWND third = FieldCreate(3);
  EXPECT_EQ(ChildWindows(window_), (std::vector<HWND>{first, third}));
  EXPECT_EQ(ChildWindows(other), std::vector<HWND>{second});
  DestroyWindow(other);
  EXPECT_EQ(GadgetListUse(nullptr), window_) << "a parked list's window went; the current one stays";
}

// After a list window without a record (entry 0 of a stack in use) nothing is parked: the new
// window takes the live stack over, with its capacity.
TEST_F(GadgetTest, FirstUseAfterAWindowWithoutRecordKeepsTheStack) {
  HWND stranger = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  HWND other = TestWindowCreate(nullptr, 520, 100, 200, 200, WS_OVERLAPPEDWINDOW);
  HWND* stack = GadgetList->stack;
  stack[0] = stranger;
  GadgetList->depth = 1;
  GadgetList->capacity = 7;
  EXPECT_EQ(GadgetListUse(other), stranger);
  EXPECT_EQ(State(), std::make_tuple(other, stack, 0, 7, 0));
  GadgetList->capacity = 10;
  DestroyWindow(other);
  DestroyWindow(stranger);
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
  // A refused switch changes nothing (not even optionRun) and gives back what it took.
  GadgetList->optionRun = 1;
  auto before = State();
  int blocks = BusyBlocks(MainHeap);
  EXPECT_EQ(GadgetListUse(gone), window_);
  EXPECT_EQ(BusyBlocks(MainHeap), blocks);
  EXPECT_EQ(State(), before);
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
    before = State();
    MainHeap = heap;
    EXPECT_EQ(GadgetListUse(other), current);
    MainHeap = mainHeap;
    EXPECT_EQ(State(), before);
    EXPECT_EQ(StackRecordOf(other), nullptr);
    if (current) {
      EXPECT_EQ(StackRecordOf(current)->savedStack, nullptr) << "nothing parked";
      void* again = HeapAlloc(heap, 0, sizeof(GadgetStackRecord));  // the record went back
      EXPECT_NE(again, nullptr);
      HeapFree(heap, 0, again);
    }
  }
  HeapDestroy(heap);
  EXPECT_NE(GetWindowLongPtrA(other, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(GadgetListWindowProc));
  DestroyWindow(other);
}

}  // namespace
