#include "runtime/number_text.h"

#include "runtime/strings.h"

#include <cstdint>
#include <type_traits>

namespace {

// Room reserved for the text of a 32-bit and of a 64-bit value: sign, digits and NUL fit with
// plenty to spare; the unused rest is given back.
constexpr int32_t kRoom32 = 32;
constexpr int32_t kRoom64 = 64;

// "00" to "99": digits are produced two at a time, halving the divisions.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Powers of ten, for counting digits: 10^k is the smallest number with k + 1 digits.
// clang-format off
constexpr uint64_t kPowersOfTen[] = {
    1u, 10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u,
    10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u,
    1000000000000000u, 10000000000000000u, 100000000000000000u, 1000000000000000000u,
    10000000000000000000u,
};
// clang-format on

// The number of decimal digits of magnitude (1 for 0), without dividing: the bit length times
// log10(2) (1233 / 4096) is the digit count or one less, and one comparison settles which.
// Or-ing in 1 makes 0 count as 1 and changes no other count (10^k - 1 is odd).
int32_t DigitCount(uint64_t magnitude) {
  magnitude |= 1;
  int bits = 64 - __builtin_clzll(magnitude);
  int32_t estimate = (bits * 1233) >> 12;
  return estimate + (magnitude >= kPowersOfTen[estimate] ? 1 : 0);
}

// The length of the text of magnitude with an optional "-" in front.
template <typename Unsigned>
int32_t DecimalLength(bool negative, Unsigned magnitude) {
  return (negative ? 1 : 0) + DigitCount(magnitude);
}

// Writes the digits of magnitude so that they end at out + length, then a NUL, with a "-" at out
// first. With a length of one more than the digits (DecimalLength of a negative value) that "-"
// is the sign; with the digits' own length the first digit overwrites it. Writing it whatever the
// sign spares a branch that guesses wrong about as often as right on numbers of either sign. The
// digits go from the least significant end straight into place, two at a time.
template <typename Unsigned>
void WriteDecimal(char* out, int32_t length, Unsigned magnitude) {
  out[0] = '-';
  char* digit = out + length;
  *digit = '\0';
  while (magnitude >= 100) {
    unsigned pair = static_cast<unsigned>(magnitude % 100) * 2;
    magnitude /= 100;
    *--digit = kDigitPairs[pair + 1];
    *--digit = kDigitPairs[pair];
  }
  if (magnitude >= 10) {
    unsigned pair = static_cast<unsigned>(magnitude) * 2;
    *--digit = kDigitPairs[pair + 1];
    *--digit = kDigitPairs[pair];
  } else {
    *--digit = static_cast<char>('0' + magnitude);
  }
}

// The magnitude of value as unsigned, exact even for the most negative value. Negated through a
// mask rather than a choice, which the compiler may turn into a branch on the sign.
template <typename Signed>
std::make_unsigned_t<Signed> Magnitude(Signed value) {
  auto bits = static_cast<std::make_unsigned_t<Signed>>(value);
  auto mask = 0 - (bits >> (8 * sizeof bits - 1));  // all ones for a negative value
  return (bits ^ mask) - mask;
}

// The text of value into the StringBuffer at position, with room bytes reserved for it. The 32-bit
// and 64-bit paths instantiate it with their own width, so values that fit in 32 bits divide with
// 32-bit arithmetic. Kept out of line, so that Int64ToText and IntegerToText only jump to it:
// inlined into Int64ToText, the registers that it needs across a growth of the buffer were saved
// before Int64ToText even knew which path to take.
template <typename Signed>
__attribute__((noinline)) void BufferDecimal(Signed value, int32_t position, int32_t room) {
  char* out = StringBufferReserve(room, position);
  bool negative = value < 0;
  auto magnitude = Magnitude(value);
  int32_t length = DecimalLength(negative, magnitude);
  // The unused part goes back before the digits are written: a store through a char pointer may
  // alias the buffer's record as far as the compiler knows, so giving it back afterwards would
  // read the used length from memory again behind those stores and write it a second time.
  StringBufferRelease(room - length);
  WriteDecimal(out, length, magnitude);
}

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit, or -1. Bytes above 0x7F are never digits.
int HexDigit(char c) {
  if (IsDecimalDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int64_t TextToInteger(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (negative || *text == '+') ++text;
  // Unsigned arithmetic wraps modulo 2^64, which is the intended reading of overlong numbers.
  uint64_t value = 0;
  if (*text == '$') {
    for (int digit; (digit = HexDigit(*++text)) >= 0;)
      value = value * 16 + static_cast<unsigned>(digit);
  } else if (*text == '%') {
    while (*++text == '0' || *text == '1') value = value * 2 + static_cast<unsigned>(*text - '0');
  } else {
    for (; IsDecimalDigit(*text); ++text) value = value * 10 + static_cast<unsigned>(*text - '0');
  }
  if (negative) value = 0 - value;
  return static_cast<int64_t>(value);
}

void Int64ToText(int64_t value, int32_t position) {
  uint64_t bits = static_cast<uint64_t>(value);
  if (bits + 0x80000000u < 0x100000000u) {
    IntegerToText(static_cast<int32_t>(value), position);
    return;
  }
  BufferDecimal(value, position, kRoom64);
}

void IntegerToText(int32_t value, int32_t position) {
  BufferDecimal(value, position, kRoom32);
}

void NumberNameFormat(char* out, size_t size, const char* prefix, int64_t number) {
  if (size == 0) return;
  char digits[24];  // sign, 19 digits and the NUL
  bool negative = number < 0;
  uint64_t magnitude = Magnitude(number);
  WriteDecimal(digits, DecimalLength(negative, magnitude), magnitude);
  size_t length = 0;
  const char* parts[] = {prefix ? prefix : "", digits};
  for (const char* part : parts) {
    for (; *part && length + 1 < size; ++part) out[length++] = *part;
  }
  out[length] = '\0';
}
