#include "windows.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

struct Block {
  Block* previous;
  Block* next;
  size_t size;
  struct Heap* heap;
  alignas(16) unsigned char data[];
};

struct Heap {
  Heap* next;       // every heap stays on this list until destroyed, keeping its blocks reachable
  Block* blocks;    // newest first
  size_t used;      // bytes handed out
  size_t maximum;   // 0: growable
};

Heap* heaps;

Block* BlockOf(LPCVOID data) {
  return reinterpret_cast<Block*>(const_cast<unsigned char*>(static_cast<const unsigned char*>(data)) -
                                  offsetof(Block, data));
}

bool Fits(Heap* heap, size_t more) {
  return heap->maximum == 0 || heap->used + more <= heap->maximum;
}

void Link(Heap* heap, Block* block) {
  block->heap = heap;
  block->previous = nullptr;
  block->next = heap->blocks;
  if (heap->blocks) heap->blocks->previous = block;
  heap->blocks = block;
}

void Unlink(Block* block) {
  Heap* heap = block->heap;
  if (block->previous) block->previous->next = block->next;
  else heap->blocks = block->next;
  if (block->next) block->next->previous = block->previous;
}

}  // namespace

HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T maximumSize) {
  Heap* heap = static_cast<Heap*>(calloc(1, sizeof(Heap)));
  if (!heap) return nullptr;
  heap->maximum = maximumSize;
  heap->next = heaps;
  heaps = heap;
  return heap;
}

BOOL HeapDestroy(HANDLE handle) {
  Heap* heap = static_cast<Heap*>(handle);
  for (Heap** link = &heaps; *link; link = &(*link)->next) {
    if (*link == heap) {
      *link = heap->next;
      break;
    }
  }
  while (heap->blocks) {
    Block* block = heap->blocks;
    heap->blocks = block->next;
    free(block);
  }
  free(heap);
  return 1;
}

LPVOID HeapAlloc(HANDLE handle, DWORD flags, SIZE_T bytes) {
  Heap* heap = static_cast<Heap*>(handle);
  if (!Fits(heap, bytes)) return nullptr;
  Block* block = static_cast<Block*>(malloc(sizeof(Block) + bytes));
  if (!block) return nullptr;
  if (flags & HEAP_ZERO_MEMORY) memset(block->data, 0, bytes);
  block->size = bytes;
  heap->used += bytes;
  Link(heap, block);
  return block->data;
}

LPVOID HeapReAlloc(HANDLE handle, DWORD flags, LPVOID data, SIZE_T bytes) {
  Heap* heap = static_cast<Heap*>(handle);
  Block* old = BlockOf(data);
  size_t oldSize = old->size;
  if (bytes > oldSize && !Fits(heap, bytes - oldSize)) return nullptr;
  Unlink(old);
  Block* block = static_cast<Block*>(realloc(old, sizeof(Block) + bytes));
  if (!block) {
    Link(heap, old);
    return nullptr;
  }
  if ((flags & HEAP_ZERO_MEMORY) && bytes > oldSize) memset(block->data + oldSize, 0, bytes - oldSize);
  block->size = bytes;
  heap->used = heap->used - oldSize + bytes;
  Link(heap, block);
  return block->data;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID data) {
  if (!data) return 1;
  Block* block = BlockOf(data);
  block->heap->used -= block->size;
  Unlink(block);
  free(block);
  return 1;
}

SIZE_T HeapSize(HANDLE, DWORD, LPCVOID data) {
  return BlockOf(data)->size;
}

BOOL HeapWalk(HANDLE handle, LPPROCESS_HEAP_ENTRY entry) {
  Heap* heap = static_cast<Heap*>(handle);
  Block* block = entry->lpData ? BlockOf(entry->lpData)->next : heap->blocks;
  if (!block) return 0;
  entry->lpData = block->data;
  entry->cbData = static_cast<DWORD>(block->size);
  entry->wFlags = PROCESS_HEAP_ENTRY_BUSY;
  return 1;
}

void ExitProcess(UINT exitCode) {
  _exit(static_cast<int>(exitCode));
}
