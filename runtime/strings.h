// Text variables and the one shared scratch buffer in which every computed text is built.
//
// Texts are single-byte (Latin-1), NUL-terminated, without a length prefix; a null text pointer
// is the empty text everywhere. Only the thread that called StringManagerStart may use any of this:
// the heap takes no lock.
#pragma once

#include <windows.h>

#include <cstdint>

// A text variable: null for the empty text, otherwise a StringHeap block of at least length + 5
// bytes that holds the text and its NUL. The block belongs to the variable; it is resized by the
// next assignment and freed only by assigning a null text.
using StringVariable = char*;

// The shared scratch buffer. A caller saves the used length as its mark, builds its text behind
// the mark and gives the buffer back to the mark when it moves the text out
// (StringAssignFromBuffer). Nested builders take their own mark above the caller's.
struct StringBufferRecord {
  char* text;        // StringHeap block of capacity + 5 bytes (16 bytes before the first growth)
  int32_t used;      // bytes in use, from 0; after any reservation at most capacity - 5
  int32_t capacity;  // only grows; 16 at start
};

extern HANDLE StringHeap;  // unserialised heap of text variables and the buffer
extern StringBufferRecord StringBuffer;

// Makes the StringHeap and the empty buffer (capacity 16). Called once, at start-up.
void StringManagerStart();

// variable = a copy of text. A null text frees the block and leaves the variable null; the empty
// text gives a 5-byte block. text must not lie inside the variable's own block.
void StringAssign(StringVariable* variable, const char* text);

// The same into a variable that holds null (its old value is not looked at); a null text leaves
// the variable unchanged.
void StringAssignNew(StringVariable* variable, const char* text);

// Moves the buffer's text from mark to the used length into variable and cuts the buffer back to
// mark. An empty temporary text gives the variable a 5-byte block with the empty text.
// mark must lie between 0 and the used length.
void StringAssignFromBuffer(StringVariable* variable, int32_t mark);

// Grows the buffer so that needed bytes fit with 5 to spare: capacity = needed + 16384. Ends the
// process (RuntimeFail) when the heap has no room or the capacity would not fit in 32 bits.
void StringBufferGrow(int64_t needed);

// Makes room for length bytes at position (at most the used length) plus at least 5 spare bytes,
// sets the used length to position + length and returns the address of position. The buffer
// grows when used length + length reaches capacity - 4. The returned address, and every other
// address into the buffer, stays valid only until the next reservation. Inline, as every text
// that is built passes through it.
inline char* StringBufferReserve(int32_t length, int32_t position) {
  int64_t needed = int64_t{StringBuffer.used} + length;
  if (needed >= StringBuffer.capacity - 4) StringBufferGrow(needed);
  StringBuffer.used = position + length;
  return StringBuffer.text + position;
}

// Lowers the used length by count; writes no NUL. Inline: the number converters call it for
// every number they write.
inline void StringBufferRelease(int32_t count) {
  StringBuffer.used -= count;
}

// Sets the used length to mark and writes a NUL there.
void StringBufferTruncate(int32_t mark);

// Appends text at the used length and NUL-terminates the buffer; a null text only writes the NUL.
// text must not lie inside the buffer.
void StringBufferAppend(const char* text);

// 1 when the two texts are equal byte for byte (null counting as the empty text), else 0.
int StringEqual(const char* a, const char* b);

// Copies length bytes from source to destination and writes a NUL behind them. Nothing is read
// beyond source + length. A negative length copies and writes nothing.
void StringBlockCopy(char* destination, const char* source, int32_t length);
