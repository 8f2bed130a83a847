// Shared solid brushes by colour, reference-counted, so that fields of one colour use one brush.
//
// The one lock of the gadget layer guards the list: every walk and change (brush creation and
// deletion included) holds it. GadgetLayerStart initialises it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/registry.h"

// The payload of a ListNode on the ListHeap.
struct BrushCacheEntry {
  int32_t colour;    // 0x00BBGGRR
  HBRUSH brush;      // the solid brush of colour, never null
  int32_t refCount;  // holders; the entry and its brush go when it falls to 0
};

extern CRITICAL_SECTION BrushCacheLock;
extern ListNode* BrushCacheList;  // newest entry first; null when no brush is held

// A brush of colour, shared with every other holder of that colour; the caller holds one
// reference and gives it back with BrushCacheRelease. Null when no brush or entry can be made
// (nothing is then held).
HBRUSH BrushCacheAcquire(int32_t colour);

// Gives back one reference; the last one deletes the brush. A brush the cache did not hand out
// (null included) is ignored.
void BrushCacheRelease(HBRUSH brush);
