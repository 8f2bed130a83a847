#include "runtime/registry.h"

#include "runtime/memory.h"

#include <cstring>

HANDLE ListHeap;

namespace {

ListNode* NodeOf(void* payload) {
  return static_cast<ListNode*>(payload) - 1;
}

// An entry is live while its first pointer-sized field (the object's handle) is nonzero.
bool IsLive(const void* entry) {
  return *static_cast<const uintptr_t*>(entry) != 0;
}

unsigned char* NumberedEntry(ObjectTable* table, intptr_t number) {
  return table->entries + number * table->entrySize;
}

bool IsNumber(ObjectTable* table, intptr_t value) {
  return value >= 0 && value < table->capacity;
}

// The dynamic node whose payload is handle, or null. Handles are checked against the list so
// that a released or made-up value is never dereferenced; dynamic objects are few.
ListNode* DynamicNode(ObjectTable* table, intptr_t handle) {
  for (ListNode* node = table->dynamicList; node; node = node->next) {
    if (reinterpret_cast<intptr_t>(ListNodePayload(node)) == handle) return node;
  }
  return nullptr;
}

// Grows the entry array so that number fits; false (table unchanged) when it cannot.
bool Grow(ObjectTable* table, int32_t number) {
  int64_t capacity = int64_t{number} + table->growthStep;
  if (capacity > INT32_MAX) return false;
  uint64_t bytes = static_cast<uint64_t>(capacity) * static_cast<uint64_t>(table->entrySize);
  if (bytes > SIZE_MAX) return false;
  void* entries =
      HeapReAlloc(MainHeap, HEAP_ZERO_MEMORY, table->entries, static_cast<size_t>(bytes));
  if (!entries) return false;
  table->entries = static_cast<unsigned char*>(entries);
  table->capacity = static_cast<int32_t>(capacity);
  return true;
}

}  // namespace

void ListHeapCreate() {
  ListHeap = HeapCreate(0, 1024, 0);
  if (!ListHeap) RuntimeFail();
}

void* ListNodePayload(ListNode* node) {
  return node + 1;
}

void* ListNodeAdd(ListNode** head, size_t payloadSize) {
  ListNode* node =
      static_cast<ListNode*>(HeapAlloc(ListHeap, HEAP_ZERO_MEMORY, sizeof(ListNode) + payloadSize));
  if (!node) return nullptr;
  if (*head) {
    (*head)->previous = node;
    node->next = *head;
  }
  *head = node;
  return ListNodePayload(node);
}

void ListNodeRemove(ListNode** head, void* payload) {
  ListNode* node = NodeOf(payload);
  if (node == *head) {
    *head = node->next;
    if (node->next) node->next->previous = nullptr;
  } else {
    node->previous->next = node->next;
    if (node->next) node->next->previous = node->previous;
  }
  HeapFree(ListHeap, 0, node);
}

ObjectTable* ObjectTableCreate(int32_t entrySize, int32_t growthStep, ObjectSlotCallback callback) {
  auto* table = static_cast<ObjectTable*>(LibraryRecordCreate(sizeof(ObjectTable), nullptr));
  table->entrySize = entrySize < static_cast<int32_t>(sizeof(uintptr_t))
                         ? static_cast<int32_t>(sizeof(uintptr_t))
                         : entrySize;
  table->growthStep = growthStep;
  table->capacity = growthStep;
  table->slotCallback = callback;
  table->entries = static_cast<unsigned char*>(
      HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, static_cast<size_t>(table->entrySize) * growthStep));
  if (!table->entries) RuntimeFail();
  return table;
}

void* ObjectSlot(ObjectTable* table, int32_t number) {
  if (number == -1) return ListNodeAdd(&table->dynamicList, static_cast<size_t>(table->entrySize));
  if (number < -1) return nullptr;
  if (number >= table->capacity && !Grow(table, number)) return nullptr;
  if (table->slotCallback) table->slotCallback(number);
  // After the callback: it may have grown the table by opening other objects.
  return NumberedEntry(table, number);
}

void* ObjectFind(ObjectTable* table, intptr_t value) {
  if (IsNumber(table, value)) {
    unsigned char* entry = NumberedEntry(table, value);
    return IsLive(entry) ? entry : nullptr;
  }
  ListNode* node = DynamicNode(table, value);
  if (!node || !IsLive(ListNodePayload(node))) return nullptr;
  return ListNodePayload(node);
}

void ObjectRelease(ObjectTable* table, intptr_t value) {
  if (IsNumber(table, value)) {
    memset(NumberedEntry(table, value), 0, static_cast<size_t>(table->entrySize));
    return;
  }
  ListNode* node = DynamicNode(table, value);
  if (!node) return;
  // A pending enumeration must not be left pointing at the freed node.
  if (table->iterCursor == node) table->iterCursor = node->previous;
  ListNodeRemove(&table->dynamicList, ListNodePayload(node));
}

void ObjectIterateStart(ObjectTable* table) {
  table->iterPosition = 0;
  ListNode* oldest = table->dynamicList;
  while (oldest && oldest->next) oldest = oldest->next;
  table->iterCursor = oldest;
}

void* ObjectIterateNext(ObjectTable* table, intptr_t* out) {
  while (table->iterPosition >= 0 && table->iterPosition < table->capacity) {
    int32_t number = table->iterPosition++;
    unsigned char* entry = NumberedEntry(table, number);
    if (IsLive(entry)) {
      *out = number;
      return entry;
    }
  }
  ListNode* node = table->iterCursor;
  if (!node) {
    // Past every number for good: an ended enumeration stays ended even if the array grows.
    table->iterPosition = INT32_MAX;
    return nullptr;
  }
  table->iterCursor = node->previous;
  *out = reinterpret_cast<intptr_t>(ListNodePayload(node));
  return ListNodePayload(node);
}

void* LibraryRecordCreate(size_t size, void (*init)(void* record)) {
  void* record = HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, size);
  if (!record) RuntimeFail();
  if (init) init(record);
  return record;
}
