// TextToInteger on any byte string (up to its first NUL) against a reading worked out here from
// the rules of the conversion, by another route than the code's: the digits are located first
// (blanks and tabs, one sign, an optional "$" or "%", then the longest run of the base's digits)
// and their value is summed by place, each digit times the base to the power of its place, all
// modulo 2^64. The value read is then written back with Int64ToText behind a text already in the
// buffer, which must give std::to_chars's text and read back to the same value.
#include "runtime/number_text.h"
#include "runtime/strings.h"
#include "tests/fuzz/fuzz_support.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

// What a text reads as, by the rules. strspn over an explicit digit set never takes a byte above
// 0x7F and stops at the NUL.
int64_t ReferenceValue(const char* text) {
  const char* p = text + strspn(text, " \t");
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Upper-case hexadecimal letters sit at 10 to 15 in the set, lower-case ones six places later.
  const char* digits = "0123456789";
  uint64_t base = 10;
  if (*p == '$') {
    digits = "0123456789ABCDEFabcdef";
    base = 16;
    ++p;
  } else if (*p == '%') {
    digits = "01";
    base = 2;
    ++p;
  }
  size_t count = strspn(p, digits);
  uint64_t value = 0;
  uint64_t place = 1;
  for (size_t i = count; i-- > 0;) {
    uint64_t index = static_cast<uint64_t>(strchr(digits, p[i]) - digits);
    value += (index < 16 ? index : index - 6) * place;
    place *= base;
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

// Int64ToText of value at a mark above an outer text that must stay untouched.
void CheckWrittenBack(int64_t value) {
  StringBufferTruncate(0);
  StringBufferAppend("Du bist ");
  int32_t mark = StringBuffer.used;
  Int64ToText(value, mark);
  char expected[24];
  auto [end, error] = std::to_chars(expected, expected + sizeof expected, value);
  Require(error == std::errc(), "to_chars failed for %lld", static_cast<long long>(value));
  int32_t length = static_cast<int32_t>(end - expected);
  const char* written = StringBuffer.text + mark;
  Require(StringBuffer.used == mark + length, "%lld: used length %d, expected %d",
          static_cast<long long>(value), StringBuffer.used, mark + length);
  Require(memcmp(written, expected, static_cast<size_t>(length)) == 0 && written[length] == '\0',
          "%lld written as \"%s\"", static_cast<long long>(value), written);
  Require(memcmp(StringBuffer.text, "Du bist ", 8) == 0, "the outer text was overwritten");
  Require(TextToInteger(written) == value, "\"%s\" reads back as %lld", written,
          static_cast<long long>(TextToInteger(written)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StringManagerStart();
  Require(TextToInteger(nullptr) == 0, "a null text reads as %lld", static_cast<long long>(TextToInteger(nullptr)));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzText text(data, size);
  int64_t value = TextToInteger(text.text());
  int64_t expected = ReferenceValue(text.text());
  Require(value == expected, "\"%s\" reads as %lld, expected %lld", text.text(), static_cast<long long>(value),
          static_cast<long long>(expected));
  CheckWrittenBack(value);
  return 0;
}
