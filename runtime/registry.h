// The numbered-object registry: tables of numbered and dynamically numbered records, and the
// doubly linked lists the runtime keeps on the ListHeap.
//
// Used only from the thread that called RuntimeStart; nothing here takes a lock.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// A node of a runtime list. The owner's payload follows the two links; the payload's address is
// the node's handle. A list is a head slot (ListNode*) holding the newest node, or null.
struct ListNode {
  ListNode* next;      // the node added before this one; null for the oldest
  ListNode* previous;  // the node added after this one; null for the newest (the head)
};

// Serialised heap of list nodes; made by ListHeapCreate, never destroyed.
extern HANDLE ListHeap;

// Called when an ObjectSlot call is about to hand out a number: destroys whatever object still
// bears it (and does nothing when the number is free).
// It takes the pointer-sized number type of the operations by number (WindowClose, GadgetFree),
// which also accept dynamic handles; the registry only ever passes numbers from 0 up.
using ObjectSlotCallback = void (*)(intptr_t number);

// One table per kind of numbered object, a zero-filled MainHeap record that lives until the
// MainHeap is destroyed. An entry is live while its first pointer-sized field is nonzero, so
// every record kept here starts with a handle that is nonzero exactly while the object exists.
struct ObjectTable {
  int32_t entrySize;                // bytes per entry (at least one pointer)
  int32_t growthStep;               // initial capacity, and the entries added beyond a number
  int32_t capacity;                 // numbered entries in the array: numbers 0 to capacity - 1
  ListNode* dynamicList;            // head of the dynamically numbered entries, newest first
  ObjectSlotCallback slotCallback;  // run before a number is handed out, or null
  int32_t iterPosition;             // next number the enumeration examines
  ListNode* iterCursor;             // next dynamic node the enumeration yields, or null
  unsigned char* entries;           // capacity * entrySize bytes on the MainHeap
};

// Makes the ListHeap. Called once, at start-up, before any list is used.
void ListHeapCreate();

// Adds a zero-filled payload of payloadSize bytes at the head of the list. Returns the payload's
// address, or null (nothing linked) when the ListHeap has no room.
void* ListNodeAdd(ListNode** head, size_t payloadSize);

// The payload of node: the address ListNodeAdd returned for it.
void* ListNodePayload(ListNode* node);

// Unlinks and frees the node of payload, which must be on the list.
void ListNodeRemove(ListNode** head, void* payload);

// A new table with growthStep zeroed entries. entrySize is raised to a pointer's size if smaller.
// Ends the process (RuntimeFail) when the MainHeap has no room: tables are made at start-up.
ObjectTable* ObjectTableCreate(int32_t entrySize, int32_t growthStep, ObjectSlotCallback callback);

// The entry for number (0 or more), after the slot callback has freed whatever bore it; the array
// grows to number + growthStep entries when number is beyond it. With -1, a new all-zero dynamic
// entry whose address is its handle (no callback). Returns null when the array cannot grow, when
// the dynamic entry cannot be allocated, and for numbers below -1.
// A numbered entry's address is valid until the table next grows: look it up again by number
// after any ObjectSlot.
void* ObjectSlot(ObjectTable* table, int32_t number);

// The live entry of a number (0 to capacity - 1) or of a handle, or null. A value that is
// neither a live number nor the handle of one of the table's dynamic entries (-1, a released
// handle, a number beyond the array) answers null.
void* ObjectFind(ObjectTable* table, intptr_t value);

// Zeroes a numbered entry, or unlinks and frees a dynamic one. Values that name neither are
// ignored.
void ObjectRelease(ObjectTable* table, intptr_t value);

// Starts the table's one enumeration: live numbered entries in ascending order, then every
// dynamic entry, oldest first. Enumerations of one table do not nest.
void ObjectIterateStart(ObjectTable* table);

// The next entry, with its number or handle in *out; null at the end (*out unchanged), and null
// on every later call until the next ObjectIterateStart, even after the table has grown. The
// caller may release the entry just yielded, or any other, without disturbing the enumeration.
void* ObjectIterateNext(ObjectTable* table, intptr_t* out);

// A zero-filled MainHeap record of size bytes, passed to init (when not null) before it is
// returned. Ends the process (RuntimeFail) when the MainHeap has no room.
void* LibraryRecordCreate(size_t size, void (*init)(void* record));
