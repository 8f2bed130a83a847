#include "gadget/brush_cache.h"

CRITICAL_SECTION BrushCacheLock;
ListNode* BrushCacheList;

namespace {

BrushCacheEntry* EntryOf(ListNode* node) {
  return static_cast<BrushCacheEntry*>(ListNodePayload(node));
}

}  // namespace

HBRUSH BrushCacheAcquire(int32_t colour) {
  EnterCriticalSection(&BrushCacheLock);
  for (ListNode* node = BrushCacheList; node; node = node->next) {
    BrushCacheEntry* entry = EntryOf(node);
    if (entry->colour == colour) {
      ++entry->refCount;
      LeaveCriticalSection(&BrushCacheLock);
      return entry->brush;
    }
  }
  HBRUSH brush = nullptr;
  auto* entry =
      static_cast<BrushCacheEntry*>(ListNodeAdd(&BrushCacheList, sizeof(BrushCacheEntry)));
  if (entry) {
    brush = CreateSolidBrush(static_cast<COLORREF>(colour));
    entry->colour = colour;
    entry->brush = brush;
    entry->refCount = 1;
    // An entry without a brush would never be released: nobody holds a null brush.
    if (!brush) ListNodeRemove(&BrushCacheList, entry);
  }
  LeaveCriticalSection(&BrushCacheLock);
  return brush;
}

void BrushCacheRelease(HBRUSH brush) {
  if (!brush) return;
  EnterCriticalSection(&BrushCacheLock);
  for (ListNode* node = BrushCacheList; node; node = node->next) {
    BrushCacheEntry* entry = EntryOf(node);
    if (entry->brush != brush) continue;
    if (--entry->refCount == 0) {
      DeleteObject(brush);
      ListNodeRemove(&BrushCacheList, entry);
    }
    break;
  }
  LeaveCriticalSection(&BrushCacheLock);
}
