// Shared by the fuzz targets: stopping a run on a failed check, a fresh string manager for every
// input, counting the blocks a heap still holds, inputs read as texts or as sequences of steps.
#pragma once

#include "runtime/strings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Stops the run when ok is false, printing the message: libFuzzer then saves the input that got
// here as a crash file. Callers pass only cheap arguments, as this runs after every step.
[[gnu::format(printf, 2, 3)]] inline void Require(bool ok, const char* format, ...) {
  if (ok) return;
  va_list arguments;
  va_start(arguments, format);
  fputs("fuzz check failed: ", stderr);
  vfprintf(stderr, format, arguments);
  fputc('\n', stderr);
  va_end(arguments);
  abort();
}

// A new StringHeap with an empty buffer of capacity 16: every input starts from the state the
// program starts in, so an input does the same when it is replayed on its own.
inline void StringManagerRestart() {
  if (StringHeap) HeapDestroy(StringHeap);
  StringManagerStart();
}

// The allocated blocks of a heap. Once an input has freed its variables, the StringHeap must hold
// the buffer's block and nothing else.
inline int BusyBlocks(HANDLE heap) {
  PROCESS_HEAP_ENTRY entry{};
  int count = 0;
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++count;
  }
  return count;
}

// The size of a StringHeap block.
inline size_t StringBlockSize(const char* block) {
  return HeapSize(StringHeap, HEAP_NO_SERIALIZE, block);
}

// A fuzz input as a text: the bytes up to the first NUL, in an exactly sized heap copy so that
// AddressSanitizer catches any read beyond the terminator.
class FuzzText {
 public:
  FuzzText(const uint8_t* data, size_t size) {
    const void* nul = memchr(data, 0, size);
    length_ = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
    text_ = static_cast<char*>(malloc(length_ + 1));
    memcpy(text_, data, length_);
    text_[length_] = '\0';
  }
  ~FuzzText() { free(text_); }
  FuzzText(const FuzzText&) = delete;
  FuzzText& operator=(const FuzzText&) = delete;
  const char* text() const { return text_; }
  size_t length() const { return length_; }

 private:
  char* text_;     // the copy, NUL-terminated; owned
  size_t length_;  // bytes before the NUL
};

// Reads an input as a sequence of steps: a Run is made from the input and takes one step (reading
// what it needs from the input, checking what it did) while the input lasts, up to maxSteps;
// then it checks what must hold at the end.
template <typename Run>
void RunSequence(const uint8_t* data, size_t size, int maxSteps) {
  FuzzedDataProvider input(data, size);
  Run run(input);
  for (int step = 0; step < maxSteps && input.remaining_bytes() > 0; ++step) run.Step();
  run.Finish();
}
