#include "runtime/registry.h"

#include "runtime/memory.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// A record as the layers keep them: a handle first, nonzero while the object lives.
struct Record {
  uintptr_t handle;
  int32_t value;
};

std::vector<intptr_t> slotCalls;
void RecordSlotCall(intptr_t number) {
  slotCalls.push_back(number);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    slotCalls.clear();
    table_ = ObjectTableCreate(sizeof(Record), 16, RecordSlotCall);
  }
  Record* Slot(int32_t number, uintptr_t handle) {
    auto* record = static_cast<Record*>(ObjectSlot(table_, number));
    if (record) record->handle = handle;
    return record;
  }
  // The enumeration as (number or handle) values, releasing each entry as it comes if asked.
  std::vector<intptr_t> Enumerate(bool release = false) {
    std::vector<intptr_t> seen;
    intptr_t out = 12345;
    ObjectIterateStart(table_);
    while (ObjectIterateNext(table_, &out)) {
      seen.push_back(out);
      if (release) ObjectRelease(table_, out);
    }
    EXPECT_EQ(ObjectIterateNext(table_, &out), nullptr) << "the end repeats";
    return seen;
  }
  ObjectTable* table_;
};

TEST_F(RegistryTest, GrowsToNumberPlusStepAndKeepsEntries) {
  Slot(0, 100)->value = 7;
  Slot(15, 115);
  EXPECT_EQ(table_->capacity, 16);
  struct Case {
    int32_t number;
    int32_t capacity;
  } const cases[] = {{16, 32}, {20, 32}, {32, 48}, {100, 116}};
  for (const Case& c : cases) {
    auto* record = static_cast<Record*>(ObjectSlot(table_, c.number));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->handle, 0u);
    EXPECT_EQ(table_->capacity, c.capacity) << c.number;
  }
  for (int32_t n = 1; n < table_->capacity; ++n) {
    if (n != 15) {
      EXPECT_EQ(ObjectFind(table_, n), nullptr) << n;
    }
  }
  auto* zero = static_cast<Record*>(ObjectFind(table_, 0));
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->value, 7);
  EXPECT_NE(ObjectFind(table_, 15), nullptr);
}

TEST_F(RegistryTest, FreshTableGrowsFrom16To36For20) {
  ObjectSlot(table_, 20);
  EXPECT_EQ(table_->capacity, 36);
}

TEST_F(RegistryTest, SlotCallbackForEveryNumberButNotForDynamic) {
  Slot(3, 1);
  Slot(3, 1);
  Slot(-1, 1);
  Slot(40, 1);
  EXPECT_EQ(slotCalls, (std::vector<intptr_t>{3, 3, 40}));
}

TEST_F(RegistryTest, OutOfContractValuesAnswerNullAndDoNothing) {
  Slot(2, 52);
  auto* dynamic = Slot(-1, 99);
  intptr_t released = reinterpret_cast<intptr_t>(Slot(-1, 98));
  ObjectRelease(table_, released);
  struct Case {
    intptr_t value;
  } const cases[] = {{-1}, {-2}, {16}, {1000}, {INTPTR_MAX}, {INTPTR_MIN}, {released}};
  for (const Case& c : cases) {
    EXPECT_EQ(ObjectFind(table_, c.value), nullptr) << c.value;
    ObjectRelease(table_, c.value);
  }
  EXPECT_EQ(ObjectSlot(table_, -2), nullptr);
  EXPECT_EQ(ObjectSlot(table_, INT32_MIN), nullptr);
  EXPECT_EQ(ObjectSlot(table_, INT32_MAX), nullptr) << "capacity would not fit in 32 bits";
  EXPECT_EQ(table_->capacity, 16);
  EXPECT_NE(ObjectFind(table_, 2), nullptr);
  EXPECT_EQ(ObjectFind(table_, reinterpret_cast<intptr_t>(dynamic)), dynamic);
  EXPECT_EQ(slotCalls, (std::vector<intptr_t>{2}));
}

TEST_F(RegistryTest, ReleasedNumberIsAbsentAndComesBackZeroed) {
  Record* record = Slot(4, 44);
  record->value = 9;
  ObjectRelease(table_, 4);
  EXPECT_EQ(ObjectFind(table_, 4), nullptr);
  record = static_cast<Record*>(ObjectSlot(table_, 4));
  EXPECT_EQ(record->handle, 0u);
  EXPECT_EQ(record->value, 0);
}

TEST_F(RegistryTest, EntryWithZeroHandleIsAbsentEvenWithOtherFieldsSet) {
  Slot(5, 0)->value = 3;
  EXPECT_EQ(ObjectFind(table_, 5), nullptr);
  EXPECT_TRUE(Enumerate().empty());
}

TEST_F(RegistryTest, DynamicEntriesAreDistinctAndFoundByHandle) {
  Record* a = Slot(-1, 1);
  Record* b = Slot(-1, 2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a, b);
  EXPECT_EQ(ObjectFind(table_, reinterpret_cast<intptr_t>(b)), b);
  b->handle = 0;
  EXPECT_EQ(ObjectFind(table_, reinterpret_cast<intptr_t>(b)), nullptr);
}

TEST_F(RegistryTest, EnumeratesNumbersAscendingThenDynamicOldestFirst) {
  Slot(3, 3);
  Slot(1, 1);
  intptr_t a = reinterpret_cast<intptr_t>(Slot(-1, 10));
  intptr_t b = reinterpret_cast<intptr_t>(Slot(-1, 11));
  EXPECT_EQ(Enumerate(), (std::vector<intptr_t>{1, 3, a, b}));
}

TEST_F(RegistryTest, ReleasingEachYieldedEntryStillVisitsAll) {
  Slot(0, 1);
  Slot(7, 1);
  Slot(40, 1);
  intptr_t a = reinterpret_cast<intptr_t>(Slot(-1, 1));
  intptr_t b = reinterpret_cast<intptr_t>(Slot(-1, 1));
  intptr_t c = reinterpret_cast<intptr_t>(Slot(-1, 1));
  EXPECT_EQ(Enumerate(true), (std::vector<intptr_t>{0, 7, 40, a, b, c}));
  EXPECT_TRUE(Enumerate().empty());
  EXPECT_EQ(table_->dynamicList, nullptr);
}

TEST_F(RegistryTest, ReleasingTheNextDynamicEntryDuringEnumerationSkipsIt) {
  intptr_t a = reinterpret_cast<intptr_t>(Slot(-1, 1));
  intptr_t b = reinterpret_cast<intptr_t>(Slot(-1, 1));
  intptr_t c = reinterpret_cast<intptr_t>(Slot(-1, 1));
  intptr_t out = 0;
  ObjectIterateStart(table_);
  ASSERT_NE(ObjectIterateNext(table_, &out), nullptr);
  EXPECT_EQ(out, a);
  ObjectRelease(table_, b);  // the cursor's node
  ASSERT_NE(ObjectIterateNext(table_, &out), nullptr);
  EXPECT_EQ(out, c);
  EXPECT_EQ(ObjectIterateNext(table_, &out), nullptr);
  EXPECT_EQ(out, c) << "out is left unchanged at the end";
}

TEST_F(RegistryTest, EndedEnumerationStaysEndedWhenTheTableGrows) {
  Slot(1, 1);
  EXPECT_EQ(Enumerate(), (std::vector<intptr_t>{1}));
  Slot(20, 20);  // grows the array past the number where the enumeration stopped
  intptr_t out = 0;
  EXPECT_EQ(ObjectIterateNext(table_, &out), nullptr) << "yielded " << out;
}

TEST(ListTest, RemoveHeadMiddleAndTailKeepsLinksConsistent) {
  // Each case removes one node of three (0 newest .. 2 oldest) and expects the other two, newest first.
  struct Case {
    int removed;
    int first;
    int second;
  } const cases[] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}};
  for (const Case& c : cases) {
    ListNode* head = nullptr;
    int* payloads[3];
    for (int i = 2; i >= 0; --i) {
      payloads[i] = static_cast<int*>(ListNodeAdd(&head, sizeof(int)));
      ASSERT_NE(payloads[i], nullptr);
      EXPECT_EQ(*payloads[i], 0);
      *payloads[i] = i;
    }
    ListNodeRemove(&head, payloads[c.removed]);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->previous, nullptr);
    EXPECT_EQ(*reinterpret_cast<int*>(head + 1), c.first) << "removed " << c.removed;
    ListNode* second = head->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->previous, head);
    EXPECT_EQ(second->next, nullptr);
    EXPECT_EQ(*reinterpret_cast<int*>(second + 1), c.second) << "removed " << c.removed;
    ListNodeRemove(&head, payloads[c.first]);
    ListNodeRemove(&head, payloads[c.second]);
    EXPECT_EQ(head, nullptr);
  }
}

TEST(ListTest, FailedAllocationLinksNothing) {
  HANDLE listHeap = ListHeap;
  ListHeap = HeapCreate(0, 0, 4096);  // a heap that cannot grow past one page
  ListNode* head = nullptr;
  EXPECT_EQ(ListNodeAdd(&head, 1 << 20), nullptr);
  EXPECT_EQ(head, nullptr);
  ObjectTable* table = ObjectTableCreate(1 << 20, 1, nullptr);
  EXPECT_EQ(ObjectSlot(table, -1), nullptr);
  EXPECT_EQ(table->dynamicList, nullptr);
  HeapDestroy(ListHeap);
  ListHeap = listHeap;
  // The entry array's growth: refused by a heap that cannot supply it, and on 32-bit, for 65537
  // entries of 64 KiB, by the size that no address fits; either way null and the table unchanged.
  HANDLE mainHeap = MainHeap;
  MainHeap = HeapCreate(0, 0, 4 << 20);
  table = ObjectTableCreate(1 << 16, 1, nullptr);
  for (int32_t number : {100, 65536}) {
    EXPECT_EQ(ObjectSlot(table, number), nullptr) << number;
    EXPECT_EQ(table->capacity, 1) << number;
  }
  EXPECT_NE(ObjectSlot(table, 0), nullptr);
  HeapDestroy(MainHeap);
  MainHeap = mainHeap;
}

struct LayerState {
  int32_t started;
  int32_t other;
};

TEST(LibraryRecordTest, ZeroFilledAndPassedToInit) {
  auto* plain = static_cast<LayerState*>(LibraryRecordCreate(sizeof(LayerState), nullptr));
  EXPECT_EQ(plain->started, 0);
  EXPECT_EQ(plain->other, 0);
  auto* initialised = static_cast<LayerState*>(
      LibraryRecordCreate(sizeof(LayerState), [](void* record) { static_cast<LayerState*>(record)->started = 1; }));
  EXPECT_EQ(initialised->started, 1);
  EXPECT_EQ(initialised->other, 0);
  MemoryFree(plain);
  MemoryFree(initialised);
}

// A record or a table that the MainHeap cannot supply ends the process with exit code 3.
TEST(LibraryRecordDeathTest, FailedAllocationEndsTheProcess) {
  EXPECT_EXIT(
      {
        MainHeap = HeapCreate(0, 0, 4096);
        LibraryRecordCreate(1 << 20, nullptr);
      },
      testing::ExitedWithCode(3), "");
  EXPECT_EXIT(
      {
        MainHeap = HeapCreate(0, 0, 65536);
        ObjectTableCreate(1 << 20, 16, nullptr);
      },
      testing::ExitedWithCode(3), "");
}

}  // namespace
