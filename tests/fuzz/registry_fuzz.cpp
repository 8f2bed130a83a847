// The registry under random sequences of slot, find, release and enumeration steps on the
// numbered and dynamic entries of one table, checked after every step against std::map models of
// both kinds of entry. Find and release also get -1, numbers below it and beyond the capacity,
// released (stale) handles and made-up values near live handles or anywhere; entries are released
// in the middle of an enumeration. Every input gets fresh heaps and a table of its own entry size
// and growth step, whose slot callback releases the entry as the layers' callbacks do.
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

namespace {

constexpr int kMaxSteps = 200;
constexpr int32_t kMaxNumber = 120;
// The MainHeap of a run holds at most this much, so that growing the array for a number from
// kHugeNumber up fails and ObjectSlot must answer null, leaving the table as it was.
constexpr SIZE_T kMainHeapLimit = 1 << 20;
constexpr int32_t kHugeNumber = 1 << 20;
constexpr int32_t kMaxEntryPointers = 5;
constexpr int32_t kMaxGrowthStep = 24;

enum class Operation {
  kSlot,
  kSlotDynamic,
  kFind,
  kRelease,
  kIterateStart,
  kIterateNext,
  kMaxValue = kIterateNext,
};

using Bytes = std::vector<unsigned char>;

// An entry is live while its first pointer-sized field is nonzero.
bool IsLive(const Bytes& bytes) {
  uintptr_t first;
  memcpy(&first, bytes.data(), sizeof first);
  return first != 0;
}

class Run {
 public:
  explicit Run(FuzzedDataProvider& input) : input_(input) {
    // Entry sizes are sizes of records that start with a handle: whole pointers.
    entrySize_ = input_.ConsumeIntegralInRange(1, kMaxEntryPointers) * static_cast<int32_t>(sizeof(uintptr_t));
    step_ = input_.ConsumeIntegralInRange(1, kMaxGrowthStep);
    capacity_ = step_;
    current_ = this;
    table_ = ObjectTableCreate(entrySize_, step_, SlotCallback);
  }

  void Step() {
    switch (input_.ConsumeEnum<Operation>()) {
      case Operation::kSlot: Slot(ChooseNumber()); break;
      case Operation::kSlotDynamic: Slot(-1); break;
      case Operation::kFind: Find(ChooseValue()); break;
      case Operation::kRelease: Release(ChooseValue()); break;
      case Operation::kIterateStart: IterateStart(); break;
      case Operation::kIterateNext: IterateNext(); break;
    }
    Check();
  }

  // Removed dynamic entries must have given their nodes back.
  void Finish() {
    Require(BusyBlocks(ListHeap) == static_cast<int>(dynamic_.size()), "%d list nodes for %zu dynamic entries",
            BusyBlocks(ListHeap), dynamic_.size());
  }

 private:
  // Releases whatever bears the number, as WindowClose and GadgetFree do.
  static void SlotCallback(intptr_t number) {
    Run* run = current_;
    Require(number == run->expectedCallback_, "slot callback for %td, expected %td", number, run->expectedCallback_);
    run->expectedCallback_ = kNoCallback;
    ObjectRelease(run->table_, number);
    run->numbered_.erase(static_cast<int32_t>(number));
  }

  int32_t ChooseNumber() {
    switch (input_.ConsumeIntegralInRange(0, 7)) {
      case 0: return INT32_MAX - input_.ConsumeIntegralInRange(0, 2 * step_);  // capacity beyond 32 bits, or just within
      case 1: return input_.ConsumeIntegralInRange(kHugeNumber, INT32_MAX);
      case 2: return input_.ConsumeIntegralInRange(INT32_MIN, -2);
      default: return input_.ConsumeIntegralInRange(-1, kMaxNumber);
    }
  }

  // A number or handle for find and release: anything from a live entry to a made-up value.
  intptr_t ChooseValue() {
    switch (input_.ConsumeIntegralInRange(0, 4)) {
      case 0:
        return input_.ConsumeIntegralInRange<intptr_t>(-3, capacity_ + 3);
      case 1:
        if (!dynamic_.empty()) return Nth(dynamic_)->first;
        return -1;
      case 2:
        if (!stale_.empty()) return stale_[input_.ConsumeIntegralInRange<size_t>(0, stale_.size() - 1)];
        return capacity_;
      case 3:
        if (!dynamic_.empty()) return Nth(dynamic_)->first + input_.ConsumeIntegralInRange(-24, 23) / 2 * 2 + 1;
        return INTPTR_MIN;
      default:
        return input_.ConsumeIntegral<intptr_t>();
    }
  }

  template <typename Map>
  typename Map::iterator Nth(Map& map) {
    return std::next(map.begin(), static_cast<long>(input_.ConsumeIntegralInRange<size_t>(0, map.size() - 1)));
  }

  // What a new entry holds: a first field that is zero now and then (an object still being made)
  // and a pattern behind it that shows if a neighbour ever writes into it.
  Bytes NewContents() {
    Bytes bytes(static_cast<size_t>(entrySize_));
    uintptr_t first = input_.ConsumeIntegralInRange(0, 3) == 0 ? 0 : ++token_;
    memcpy(bytes.data(), &first, sizeof first);
    for (size_t i = sizeof first; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(token_ * 31 + i);
    return bytes;
  }

  void Slot(int32_t number) {
    // What an enumeration under way makes of new entries is left open: the model starts a new one
    // at its next step. An ended enumeration stays ended, however the table grows.
    if (enumeration_ == Enumeration::kRunning) enumeration_ = Enumeration::kNone;
    // cppcheck-suppress redundantInitialization ; cppcheck 2.10 misreads the condition as a variable
    int64_t grown = number >= capacity_ ? int64_t{number} + step_ : capacity_;
    bool fits = number >= -1 && number < kHugeNumber;
    expectedCallback_ = fits && number >= 0 ? number : kNoCallback;
    auto* entry = static_cast<unsigned char*>(ObjectSlot(table_, number));
    Require(expectedCallback_ == kNoCallback, "no slot callback for %d", number);
    if (!fits) {
      Require(entry == nullptr, "ObjectSlot(%d) gave an entry, capacity %d", number, capacity_);
      return;
    }
    Require(entry != nullptr, "ObjectSlot(%d) gave null", number);
    Require(std::all_of(entry, entry + entrySize_, [](unsigned char b) { return b == 0; }),
            "ObjectSlot(%d) gave an entry that is not all zero", number);
    Bytes bytes = NewContents();
    memcpy(entry, bytes.data(), bytes.size());
    if (number >= 0) {
      capacity_ = static_cast<int32_t>(grown);
      Require(entry == table_->entries + int64_t{number} * entrySize_, "entry of %d not at its index", number);
      numbered_[number] = bytes;
      return;
    }
    auto handle = reinterpret_cast<intptr_t>(entry);
    Require(dynamic_.count(handle) == 0, "a new dynamic entry has the live handle %td", handle);
    dynamic_[handle] = {order_, bytes};
    byOrder_[order_++] = handle;
  }

  void* ExpectedFind(intptr_t value) {
    if (value >= 0 && value < capacity_) {
      auto it = numbered_.find(static_cast<int32_t>(value));
      return it != numbered_.end() && IsLive(it->second) ? table_->entries + value * entrySize_ : nullptr;
    }
    auto it = dynamic_.find(value);
    return it != dynamic_.end() && IsLive(it->second.bytes) ? reinterpret_cast<void*>(value) : nullptr;
  }

  void Find(intptr_t value) {
    void* found = ObjectFind(table_, value);
    Require(found == ExpectedFind(value), "ObjectFind(%td) gave %p, expected %p", value, found, ExpectedFind(value));
  }

  void Release(intptr_t value) {
    ObjectRelease(table_, value);
    if (value >= 0 && value < capacity_) {
      numbered_.erase(static_cast<int32_t>(value));
      return;
    }
    auto it = dynamic_.find(value);
    if (it == dynamic_.end()) return;
    byOrder_.erase(it->second.order);
    dynamic_.erase(it);
    stale_.push_back(value);
  }

  void IterateStart() {
    ObjectIterateStart(table_);
    enumeration_ = Enumeration::kRunning;
    position_ = 0;
    nextOrder_ = 0;
  }

  // Live numbered entries from the position up, then the dynamic entries not yet yielded, oldest
  // first, whatever their first field; entries released meanwhile are not yielded. After the
  // end, null until the next start.
  void IterateNext() {
    if (enumeration_ == Enumeration::kNone) IterateStart();
    intptr_t expectedOut = kUnchanged;
    void* expected = nullptr;
    if (enumeration_ == Enumeration::kRunning) {
      auto numbered = numbered_.lower_bound(position_);
      while (numbered != numbered_.end() && !IsLive(numbered->second)) ++numbered;
      auto dynamic = byOrder_.lower_bound(nextOrder_);
      if (numbered != numbered_.end()) {
        expectedOut = numbered->first;
        expected = table_->entries + expectedOut * entrySize_;
        position_ = numbered->first + 1;
      } else if (dynamic != byOrder_.end()) {
        position_ = capacity_;
        expectedOut = dynamic->second;
        expected = reinterpret_cast<void*>(expectedOut);
        nextOrder_ = dynamic->first + 1;
      } else {
        enumeration_ = Enumeration::kEnded;
      }
    }
    intptr_t out = kUnchanged;
    void* entry = ObjectIterateNext(table_, &out);
    Require(entry == expected && out == expectedOut, "ObjectIterateNext gave %p (%td), expected %p (%td)", entry, out,
            expected, expectedOut);
  }

  void Check() {
    Require(table_->capacity == capacity_, "capacity %d, expected %d", table_->capacity, capacity_);
    const Bytes zero(static_cast<size_t>(entrySize_));
    for (int32_t number = 0; number < capacity_; ++number) {
      auto it = numbered_.find(number);
      const Bytes& bytes = it != numbered_.end() ? it->second : zero;
      Require(memcmp(table_->entries + int64_t{number} * entrySize_, bytes.data(), bytes.size()) == 0,
              "entry %d changed", number);
    }
    // The list runs from the newest node to the oldest, with consistent back links.
    ListNode* node = table_->dynamicList;
    ListNode* newer = nullptr;
    for (auto it = byOrder_.rbegin(); it != byOrder_.rend(); ++it) {
      Require(node != nullptr, "the dynamic list ends early");
      Require(node->previous == newer, "broken back link in the dynamic list");
      Require(reinterpret_cast<intptr_t>(node + 1) == it->second, "dynamic list out of order");
      const Bytes& bytes = dynamic_[it->second].bytes;
      Require(memcmp(node + 1, bytes.data(), bytes.size()) == 0, "dynamic entry %td changed", it->second);
      newer = node;
      node = node->next;
    }
    Require(node == nullptr, "the dynamic list holds more than the live entries");
  }

  enum class Enumeration { kNone, kRunning, kEnded };

  static constexpr intptr_t kNoCallback = INTPTR_MIN;
  static constexpr intptr_t kUnchanged = 0x5A5A;  // what the out value holds before a call
  static Run* current_;                           // the run whose table's callback is running

  // A dynamic entry of the model.
  // cppcheck does not follow uses through the map's iterators: both members are read.
  struct Dynamic {
    uint64_t order;  // cppcheck-suppress unusedStructMember ; creation order, from 0
    Bytes bytes;     // cppcheck-suppress unusedStructMember ; what the entry holds
  };

  FuzzedDataProvider& input_;
  int32_t entrySize_;                         // the table's entry size
  int32_t step_;                              // the table's growth step
  int32_t capacity_;                          // the capacity the table must have
  ObjectTable* table_;                        // the table under test
  std::map<int32_t, Bytes> numbered_;         // numbered entries written and not released
  std::map<intptr_t, Dynamic> dynamic_;       // dynamic entries by handle
  std::map<uint64_t, intptr_t> byOrder_;      // dynamic handles by creation order
  std::vector<intptr_t> stale_;               // handles of released dynamic entries
  uint64_t order_ = 0;                        // the next creation order
  uintptr_t token_ = 0;                       // the last first field written
  intptr_t expectedCallback_ = kNoCallback;   // the number the slot callback must get next
  Enumeration enumeration_ = Enumeration::kNone;  // where the table's enumeration stands
  int32_t position_ = 0;                      // the enumeration's next number to examine
  uint64_t nextOrder_ = 0;                    // the enumeration's oldest dynamic entry still due
};

Run* Run::current_;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (MainHeap) HeapDestroy(MainHeap);
  MainHeap = HeapCreate(0, 4096, kMainHeapLimit);
  if (ListHeap) HeapDestroy(ListHeap);
  ListHeapCreate();
  RunSequence<Run>(data, size, kMaxSteps);
  return 0;
}
