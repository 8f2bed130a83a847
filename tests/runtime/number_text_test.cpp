#include "runtime/number_text.h"

#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(TextToIntegerTest, Table) {
  struct Case {
    const char* text;
    int64_t value;
  } const cases[] = {
      // no number
      {nullptr, 0}, {"", 0}, {"abc", 0}, {"ca. 72", 0}, {" \n5", 0}, {"\x7F" "5", 0},
      // blanks, tabs and one sign
      {"42", 42}, {" \t 42", 42}, {"+7", 7}, {"-7", -7}, {"- 5", 0}, {"--5", 0}, {"+-5", 0}, {"-", 0},
      // reading stops at the first non-digit
      {"72.5", 72}, {"72,5", 72}, {"72kg", 72}, {"007", 7}, {"1 2", 1},
      // hexadecimal and binary
      {"$1F", 31}, {"$1f", 31}, {"$", 0}, {"$G", 0}, {"-$10", -16}, {"$7fffffffffffffff", INT64_MAX},
      {"%101", 5}, {"%1012", 5}, {"%", 0}, {"%2", 0}, {"-%11", -3}, {"$ 1", 0}, {"1$", 1},
      // bytes above 0x7F are never digits (Latin-1 and UTF-8 alike)
      {"7\xB2", 7}, {"\xB9" "1", 0}, {"$A\xC4", 10}, {"\xEF\xBC\x91", 0},
      // unsigned 64-bit wrap
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", INT64_MIN},
      {"-9223372036854775808", INT64_MIN},
      {"18446744073709551615", -1},
      {"18446744073709551617", 1},
      {"$FFFFFFFFFFFFFFFF", -1},
      {"-$FFFFFFFFFFFFFFFF", 1},
      {"$10000000000000001", 1},
      {"%11111111111111111111111111111111111111111111111111111111111111111", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToInteger(c.text), c.value) << '"' << (c.text ? c.text : "(null)") << '"';
  }
}

class Int64ToTextTest : public testing::Test {
 protected:
  void SetUp() override { StringBufferTruncate(0); }
};

TEST_F(Int64ToTextTest, Table) {
  struct Case {
    int64_t value;
    const char* text;
  } const cases[] = {
      {0, "0"},
      {-1, "-1"},
      {7, "7"},
      {10, "10"},
      {99, "99"},
      {100, "100"},
      {-100, "-100"},
      {2147483647, "2147483647"},
      {-2147483647, "-2147483647"},
      {-2147483647 - 1, "-2147483648"},
      {2147483648, "2147483648"},
      {-2147483649, "-2147483649"},
      {4294967296, "4294967296"},
      {1000000000000000000, "1000000000000000000"},
      {INT64_MAX, "9223372036854775807"},
      {INT64_MIN, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    int32_t mark = StringBuffer.used;
    Int64ToText(c.value, mark);
    EXPECT_EQ(std::string(StringBuffer.text + mark), c.text);
    EXPECT_EQ(StringBuffer.used, mark + static_cast<int32_t>(strlen(c.text))) << c.text;
    StringBufferTruncate(mark);
  }
}

TEST_F(Int64ToTextTest, WritesAtPositionBehindEarlierText) {
  StringBufferAppend("BMI ");
  int32_t mark = StringBuffer.used;
  Int64ToText(-9223372036854775807 - 1, mark);
  EXPECT_EQ(StringBuffer.used, mark + 20);
  EXPECT_EQ(StringBuffer.text[StringBuffer.used], '\0');
  EXPECT_STREQ(StringBuffer.text, "BMI -9223372036854775808");
  Int64ToText(22, StringBuffer.used);
  EXPECT_STREQ(StringBuffer.text, "BMI -922337203685477580822");
}

TEST_F(Int64ToTextTest, RoundTripsThroughTextToInteger) {
  for (int64_t value : {int64_t{0}, int64_t{1}, int64_t{-123456789}, int64_t{987654321012}, INT64_MIN, INT64_MAX}) {
    Int64ToText(value, 0);
    EXPECT_EQ(TextToInteger(StringBuffer.text), value);
    StringBufferTruncate(0);
  }
}

TEST(NumberNameFormatTest, PrefixAndSignedDecimalCutToFit) {
  struct Case {
    const char* prefix;
    int64_t number;
    size_t size;
    const char* name;
  } const cases[] = {
      {"WindowClass_", 0, 64, "WindowClass_0"},
      {"WindowClass_", -1, 64, "WindowClass_-1"},
      {"KX_GadgetStack_", 4194304, 64, "KX_GadgetStack_4194304"},
      {"WindowClass_", INT64_MIN, 64, "WindowClass_-9223372036854775808"},
      {"WindowClass_", 123, 15, "WindowClass_12"},
      {"WindowClass_", 123, 5, "Wind"},
      {"", 42, 1, ""},
      {nullptr, 42, 8, "42"},
  };
  for (const Case& c : cases) {
    char name[65];  // one byte more than the largest size, to see that it stays untouched
    memset(name, 'x', sizeof name);
    NumberNameFormat(name, c.size, c.prefix, c.number);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(name[c.size], 'x') << "nothing written beyond size";
  }
}

}  // namespace
