#include "runtime/memory.h"

#include <cstring>

HANDLE MainHeap;

void RuntimeFail() {
  ExitProcess(3);
}

char* StringDuplicate(const char* text) {
  if (!text) return nullptr;
  size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(HeapAlloc(MainHeap, 0, size));
  if (copy) memcpy(copy, text, size);
  return copy;
}

void MemoryFree(void* block) {
  if (block) HeapFree(MainHeap, 0, block);
}
