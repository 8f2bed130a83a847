#include "runtime/strings.h"

#include "runtime/memory.h"

#include <cstring>

HANDLE StringHeap;
StringBufferRecord StringBuffer;

namespace {

constexpr int32_t kStartCapacity = 16;
constexpr int32_t kGrowth = 16384;
// Every block keeps this many bytes beyond its text; the NUL is one of them.
constexpr int32_t kSpare = 5;

// A block of size bytes for a variable: allocated when it holds null, resized otherwise.
char* VariableBlock(StringVariable old, size_t size) {
  void* block = old ? HeapReAlloc(StringHeap, HEAP_NO_SERIALIZE, old, size)
                    : HeapAlloc(StringHeap, HEAP_NO_SERIALIZE, size);
  if (!block) RuntimeFail();
  return static_cast<char*>(block);
}

// A length that is going to be stored, checked once for texts and for the buffer's growth alike:
// beyond this one, the grown capacity and its spare bytes would not count in 32 bits.
int32_t StoredLength(int64_t length) {
  if (length > INT32_MAX - kGrowth - kSpare) RuntimeFail();
  return static_cast<int32_t>(length);
}

// strlen for a text that is going to be stored.
int32_t TextLength(const char* text) {
  return StoredLength(static_cast<int64_t>(strlen(text)));
}

}  // namespace

void StringManagerStart() {
  StringHeap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
  if (!StringHeap) RuntimeFail();
  StringBuffer.used = 0;
  StringBuffer.capacity = kStartCapacity;
  StringBuffer.text = static_cast<char*>(HeapAlloc(StringHeap, HEAP_NO_SERIALIZE, kStartCapacity));
  if (!StringBuffer.text) RuntimeFail();
}

void StringAssign(StringVariable* variable, const char* text) {
  if (!text) {
    if (*variable) HeapFree(StringHeap, HEAP_NO_SERIALIZE, *variable);
    *variable = nullptr;
    return;
  }
  int32_t length = TextLength(text);
  *variable = VariableBlock(*variable, length + kSpare);
  StringBlockCopy(*variable, text, length);
}

void StringAssignNew(StringVariable* variable, const char* text) {
  if (!text) return;
  int32_t length = TextLength(text);
  *variable = VariableBlock(nullptr, length + kSpare);
  StringBlockCopy(*variable, text, length);
}

void StringAssignFromBuffer(StringVariable* variable, int32_t mark) {
  int32_t length = StringBuffer.used - mark;
  *variable = VariableBlock(*variable, length + kSpare);
  StringBlockCopy(*variable, StringBuffer.text + mark, length);
  StringBuffer.used = mark;
}

void StringBufferGrow(int64_t needed) {
  int32_t capacity = StoredLength(needed) + kGrowth;
  void* block = HeapReAlloc(StringHeap, HEAP_NO_SERIALIZE, StringBuffer.text, capacity + kSpare);
  if (!block) RuntimeFail();
  StringBuffer.text = static_cast<char*>(block);
  StringBuffer.capacity = capacity;
}

void StringBufferTruncate(int32_t mark) {
  StringBuffer.used = mark;
  StringBuffer.text[mark] = '\0';
}

void StringBufferAppend(const char* text) {
  if (!text) {
    StringBuffer.text[StringBuffer.used] = '\0';
    return;
  }
  int32_t length = TextLength(text);
  StringBlockCopy(StringBufferReserve(length, StringBuffer.used), text, length);
}

int StringEqual(const char* a, const char* b) {
  return strcmp(a ? a : "", b ? b : "") == 0 ? 1 : 0;
}

void StringBlockCopy(char* destination, const char* source, int32_t length) {
  if (length < 0) return;  // no text, and no place for a NUL in front of the destination
  memcpy(destination, source, static_cast<size_t>(length));
  destination[length] = '\0';
}
