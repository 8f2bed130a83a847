// The MainHeap and the runtime's private text copies.
#pragma once

#include <windows.h>

// Serialised heap of every runtime record: object tables and their entry arrays, layer state
// records, the requester's text copies. Made by RuntimeStart, destroyed by RuntimeEnd; null
// before. The host build's tests make it themselves.
extern HANDLE MainHeap;

// Ends the process with exit code 3. Used where the runtime cannot go on without memory it failed
// to get (a start-up heap, a state record, the string buffer's growth): running on with a null
// block would corrupt memory later, far from the cause.
[[noreturn]] void RuntimeFail();

// A copy of text on the MainHeap, or null for a null text or when the heap has no room. The
// caller owns the copy and gives it back with MemoryFree.
char* StringDuplicate(const char* text);

// Frees a MainHeap block; a null block is ignored.
void MemoryFree(void* block);
