#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every test starts from an empty buffer whose capacity is whatever earlier tests grew it to.
class StringsTest : public testing::Test {
 protected:
  void SetUp() override { StringBufferTruncate(0); }
  void TearDown() override {
    for (StringVariable* v : {&a_, &b_}) StringAssign(v, nullptr);
  }
  StringVariable a_ = nullptr;
  StringVariable b_ = nullptr;
};

size_t BlockSize(StringVariable v) {
  return HeapSize(StringHeap, HEAP_NO_SERIALIZE, v);
}

int BusyBlocks(HANDLE heap) {
  PROCESS_HEAP_ENTRY entry{};
  int count = 0;
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++count;
  }
  return count;
}

TEST_F(StringsTest, AssignKeepsTextAndFiveSpareBytes) {
  struct Case {
    const char* text;
    size_t block;
  } const cases[] = {{"", 5}, {"a", 6}, {"Du hast \xDC" "bergewicht.", 25}};
  for (const Case& c : cases) {
    StringAssign(&a_, c.text);
    ASSERT_NE(a_, nullptr) << c.text;
    EXPECT_STREQ(a_, c.text);
    EXPECT_EQ(BlockSize(a_), c.block) << c.text;
  }
}

TEST_F(StringsTest, AssignNullFreesAndNullOnNullDoesNothing) {
  StringAssign(&a_, nullptr);
  EXPECT_EQ(a_, nullptr);
  int before = BusyBlocks(StringHeap);
  StringAssign(&a_, "text");
  EXPECT_EQ(BusyBlocks(StringHeap), before + 1);
  StringAssign(&a_, nullptr);
  EXPECT_EQ(a_, nullptr);
  EXPECT_EQ(BusyBlocks(StringHeap), before);
}

TEST_F(StringsTest, AssignNewMakesFreshBlockAndIgnoresNull) {
  StringAssignNew(&a_, nullptr);
  EXPECT_EQ(a_, nullptr);
  StringAssignNew(&a_, "neu");
  EXPECT_STREQ(a_, "neu");
  EXPECT_EQ(BlockSize(a_), 8u);
}

TEST_F(StringsTest, AssignFromBufferMovesTextAboveMarkAndCutsBack) {
  StringBufferAppend("outer ");
  int32_t outer = StringBuffer.used;
  StringBufferAppend("inner");
  StringAssignFromBuffer(&a_, outer);
  EXPECT_STREQ(a_, "inner");
  EXPECT_EQ(StringBuffer.used, outer);
  EXPECT_EQ(std::string(StringBuffer.text, StringBuffer.used), "outer ");

  StringAssignFromBuffer(&b_, StringBuffer.used);
  ASSERT_NE(b_, nullptr);
  EXPECT_STREQ(b_, "");
  EXPECT_EQ(BlockSize(b_), 5u);
}

TEST_F(StringsTest, NestedBuilderLeavesOuterPartialTextUntouched) {
  int32_t outer = StringBuffer.used;
  StringBufferAppend("Du bist ");
  int32_t inner = StringBuffer.used;
  StringBufferAppend("12");
  StringBufferAppend("3");
  StringAssignFromBuffer(&b_, inner);
  StringBufferAppend(b_);
  StringBufferAppend(" Kg");
  StringAssignFromBuffer(&a_, outer);
  EXPECT_STREQ(b_, "123");
  EXPECT_STREQ(a_, "Du bist 123 Kg");
  EXPECT_EQ(StringBuffer.used, outer);
}

TEST_F(StringsTest, AppendNullOnlyWritesTerminator) {
  StringBufferAppend("abc");
  StringBuffer.text[3] = 'x';
  StringBufferAppend(nullptr);
  EXPECT_EQ(StringBuffer.used, 3);
  EXPECT_EQ(StringBuffer.text[3], '\0');
}

TEST_F(StringsTest, ReleaseAndTruncate) {
  StringBufferAppend("abcdef");
  StringBufferRelease(2);
  EXPECT_EQ(StringBuffer.used, 4);
  EXPECT_EQ(StringBuffer.text[4], 'e');  // release writes no terminator
  StringBufferTruncate(1);
  EXPECT_EQ(StringBuffer.used, 1);
  EXPECT_STREQ(StringBuffer.text, "a");
}

TEST_F(StringsTest, EqualTable) {
  struct Case {
    const char* a;
    const char* b;
    int equal;
  } const cases[] = {
      {nullptr, nullptr, 1}, {nullptr, "", 1},    {"", nullptr, 1},      {"abc", "abc", 1},
      {"abc", "ABC", 0},     {"abc", "ab", 0},    {"ab", "abc", 0},      {nullptr, "a", 0},
      {"\xE4", "\xC4", 0},   {"\xE4", "\xE4", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StringEqual(c.a, c.b), c.equal) << (c.a ? c.a : "(null)") << " / " << (c.b ? c.b : "(null)");
  }
}

TEST_F(StringsTest, BlockCopyWritesExactlyLengthAndTerminator) {
  char destination[12];
  struct Case {
    const char* source;
    int32_t length;
    const char* expected;
  } const cases[] = {{"abcdefgh", 0, ""}, {"abcdefgh", 1, "a"}, {"abcdefgh", 5, "abcde"}, {"abcdefgh", 8, "abcdefgh"}};
  for (const Case& c : cases) {
    memset(destination, '#', sizeof destination);
    StringBlockCopy(destination, c.source, c.length);
    EXPECT_STREQ(destination, c.expected);
    EXPECT_EQ(destination[c.length + 1], '#') << "wrote beyond the terminator at length " << c.length;
  }
}

TEST_F(StringsTest, BlockCopyReadsNothingBeyondSourceLength) {
  // A source whose last byte is the last readable byte of its block: a word copy would overrun.
  char* source = static_cast<char*>(HeapAlloc(StringHeap, HEAP_NO_SERIALIZE, 5));
  // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the source ends at its block on purpose
  memcpy(source, "hello", 5);
  char destination[10];
  StringBlockCopy(destination, source, 5);
  EXPECT_STREQ(destination, "hello");
  HeapFree(StringHeap, HEAP_NO_SERIALIZE, source);
}

// Growth happens when used + length reaches capacity - 4, and grows to that need + 16384.
TEST(StringBufferGrowthTest, GrowsExactlyAtBoundary) {
  StringManagerStart();
  EXPECT_EQ(StringBuffer.capacity, 16);
  EXPECT_EQ(StringBuffer.used, 0);

  StringBufferReserve(11, 0);  // needed 11 = capacity - 5: no growth
  EXPECT_EQ(StringBuffer.capacity, 16);
  StringBufferTruncate(0);
  StringBufferAppend("0123456789a");  // pending text would reach 11 bytes: still none
  EXPECT_EQ(StringBuffer.capacity, 16);
  StringBufferAppend("b");  // reaches 12 = capacity - 4: grows
  EXPECT_EQ(StringBuffer.capacity, 12 + 16384);
  EXPECT_EQ(HeapSize(StringHeap, HEAP_NO_SERIALIZE, StringBuffer.text), size_t{12 + 16384 + 5});
  EXPECT_STREQ(StringBuffer.text, "0123456789ab");

  StringBufferTruncate(0);
  int32_t capacity = StringBuffer.capacity;
  StringBufferReserve(capacity - 5, 0);
  EXPECT_EQ(StringBuffer.capacity, capacity);
  StringBufferReserve(1, StringBuffer.used);  // needed = capacity - 4
  EXPECT_EQ(StringBuffer.capacity, capacity - 4 + 16384);

  StringBufferTruncate(0);
  StringBufferAppend("x");
  EXPECT_EQ(StringBuffer.capacity, capacity - 4 + 16384) << "the buffer never shrinks";
}

// The worked example: three pieces into a null variable from a fresh buffer.
TEST(StringBufferGrowthTest, SentenceOfThreePiecesGrowsOnceToNeededPlus16384) {
  StringManagerStart();
  StringVariable seven = nullptr;
  StringVariable target = nullptr;
  StringAssign(&seven, "7");
  int32_t mark = StringBuffer.used;
  StringBufferAppend("Du bist ");
  EXPECT_EQ(StringBuffer.capacity, 16);
  StringBufferAppend(seven);
  EXPECT_EQ(StringBuffer.capacity, 16);
  StringBufferAppend(" Kg unter deinem Normalgewich.t");
  EXPECT_EQ(StringBuffer.capacity, 16424);
  EXPECT_EQ(StringBuffer.used, 40);
  StringAssignFromBuffer(&target, mark);
  EXPECT_STREQ(target, "Du bist 7 Kg unter deinem Normalgewich.t");
  EXPECT_EQ(HeapSize(StringHeap, HEAP_NO_SERIALIZE, target), 45u);
  EXPECT_EQ(StringBuffer.used, 0);
  StringAssign(&seven, nullptr);
  StringAssign(&target, nullptr);
}

TEST(StringBufferAllocationTest, BuildingASentenceAllocatesOnlyTheTargetBlock) {
  StringBufferTruncate(0);
  StringBufferReserve(64, 0);  // make sure the buffer has grown past what the sentence needs
  StringBufferTruncate(0);
  StringVariable target = nullptr;
  char* text = StringBuffer.text;
  int32_t capacity = StringBuffer.capacity;
  int before = BusyBlocks(StringHeap);

  int32_t mark = StringBuffer.used;
  StringBufferAppend("Du bist ");
  StringBufferAppend("8");
  StringBufferAppend(" Kg \xFC" "ber deinem Idealgewicht.");
  StringAssignFromBuffer(&target, mark);

  EXPECT_EQ(BusyBlocks(StringHeap), before + 1);
  EXPECT_EQ(StringBuffer.text, text);
  EXPECT_EQ(StringBuffer.capacity, capacity);
  EXPECT_STREQ(target, "Du bist 8 Kg \xFC" "ber deinem Idealgewicht.");
  StringAssign(&target, nullptr);
}

// Reserves length bytes in a fresh buffer on a heap that cannot grow past 64 KiB.
void ReserveOnSmallHeap(int32_t length) {
  StringHeap = HeapCreate(HEAP_NO_SERIALIZE, 0, 65536);
  StringBuffer.text = static_cast<char*>(HeapAlloc(StringHeap, HEAP_NO_SERIALIZE, 16));
  StringBuffer.used = 0;
  StringBuffer.capacity = 16;
  StringBufferReserve(length, 0);
}

// Growth that the heap cannot supply, or that would not fit the 32-bit capacity, ends the
// process with exit code 3 instead of handing out a pointer into too small a block.
TEST(StringBufferDeathTest, GrowthThatCannotBeMadeEndsTheProcess) {
  for (int32_t length : {100000, INT32_MAX - 16388, INT32_MAX - 8}) {
    EXPECT_EXIT(ReserveOnSmallHeap(length), testing::ExitedWithCode(3), "") << length;
  }
}

// The longest need that still grows: its capacity and the 5 spare bytes just count in 32 bits.
// Only a 64-bit process has room for that block of 2 GiB; untouched, it costs no memory.
TEST(StringBufferDeathTest, LongestGrowthIsMade) {
  if (sizeof(void*) < 8) GTEST_SKIP() << "no room for 2 GiB";
  EXPECT_EXIT(
      {
        StringBufferGrow(INT32_MAX - 16389);
        ExitProcess(StringBuffer.capacity == INT32_MAX - 5 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
