// Conversion between integers and their decimal text.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads a signed 64-bit integer from the start of text: blanks and tabs skipped, one optional
// sign ("-" or "+") directly before the digits, then decimal digits, or "$" and hexadecimal
// digits, or "%" and binary digits. Reading stops at the first byte that is no digit of the base;
// the rest is ignored. The arithmetic wraps modulo 2^64 without any overflow check. A null text,
// or a text without digits, gives 0.
int64_t TextToInteger(const char* text);

// Writes the decimal text of value into the StringBuffer at position (the caller's mark, which
// must be the buffer's used length), sets the used length to position + the text's length and
// puts a NUL behind the text. The caller moves it out with StringAssignFromBuffer.
void Int64ToText(int64_t value, int32_t position);

// The same for a 32-bit value; Int64ToText hands every value that fits in 32 bits to it.
void IntegerToText(int32_t value, int32_t position);

// prefix followed by the signed decimal text of number, NUL-terminated, into out (size bytes),
// cut short if it does not fit. For names handed to the platform (window classes, property
// names), which are built before or apart from the StringBuffer. 64 bytes always hold a prefix of
// up to 43 bytes and any number.
void NumberNameFormat(char* out, size_t size, const char* prefix, int64_t number);
