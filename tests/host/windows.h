// Host stand-in for the few kernel32 calls the platform-independent core makes (the private heaps
// and process exit), so that the core and its tests build natively under the sanitizers. Only
// the host build puts this folder on the include path; Windows builds use the real header.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using UINT = unsigned;
using SIZE_T = size_t;
using LPVOID = void*;
using LPCVOID = const void*;
using HANDLE = void*;

constexpr DWORD HEAP_NO_SERIALIZE = 0x1;
constexpr DWORD HEAP_ZERO_MEMORY = 0x8;
constexpr WORD PROCESS_HEAP_ENTRY_BUSY = 0x4;

// The fields of the real record that the tests read.
struct PROCESS_HEAP_ENTRY {
  LPVOID lpData;
  DWORD cbData;
  BYTE cbOverhead;
  BYTE iRegionIndex;
  WORD wFlags;
};
using LPPROCESS_HEAP_ENTRY = PROCESS_HEAP_ENTRY*;

// A heap is a list of blocks: HeapDestroy frees them all, and blocks of a heap that lives to the
// process end stay reachable, as on Windows. A non-zero maximum size makes allocations beyond it
// fail, which lets tests reach the out-of-memory paths.
HANDLE HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize);
BOOL HeapDestroy(HANDLE heap);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
// Yields the heap's allocated blocks only (all flagged busy); lpData null starts the walk.
BOOL HeapWalk(HANDLE heap, LPPROCESS_HEAP_ENTRY entry);
[[noreturn]] void ExitProcess(UINT exitCode);
