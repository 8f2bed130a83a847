// The gadget list: which window receives new gadgets, and each window's own list state while
// another window is current. Included by gadget/gadget.h.
#pragma once

#include <windows.h>

#include <cstdint>

// The process's one list state, a MainHeap record made at start-up.
//
// The list window is stack[0] while depth is above 0, else window. Nothing in this system pushes
// onto the container stack; it is parked and restored with the rest of the state.
struct GadgetListState {
  HWND window;        // parent of new gadgets; null when there is none
  int32_t optionRun;  // 1 while the gadget registered last in this list was an option
  HFONT font;         // font every new gadget gets; the stock GUI font
  HWND* stack;        // container stack, capacity entries on the MainHeap; null only while parked
  int32_t depth;      // entries in use on the stack
  int32_t capacity;   // entries the stack holds
};

// One per window that has been a list window, on the MainHeap, held by the window's
// "KX_GadgetStack_%lli" property (formatted with the module instance) until its WM_NCDESTROY.
struct GadgetStackRecord {
  HWND window;            // the window this record belongs to
  HWND savedWindow;       // the list state's window while another window is current
  HWND* savedStack;       // the parked container stack; null while this window's state is live
  int32_t savedDepth;     // the parked depth
  int32_t savedCapacity;  // the parked capacity
  WNDPROC oldProc;        // the window's procedure before GadgetListWindowProc
};

#if !defined(_WIN64)
static_assert(sizeof(GadgetListState) == 24 && sizeof(GadgetStackRecord) == 24,
              "six words each on the release target");
#endif

// Made by GadgetLayerStart; lives until the MainHeap goes.
extern GadgetListState* GadgetList;

// The init routine of the list state (a zeroed GadgetListState), run by GadgetLayerStart: an empty
// 10-entry stack, the stock GUI font, and the name of the GadgetStackRecord property, formatted
// with the module instance, which RuntimeStart has set by then. Ends the process (RuntimeFail)
// when the MainHeap has no room for the stack.
void GadgetListStateInit(void* record);

// Makes window the list window: the state of the window that was current is parked in its
// GadgetStackRecord, and window's own state comes back (or, on its first use, window gets an
// empty one, a record and GadgetListWindowProc). Either way the next option gadget starts a new
// group. A null window only asks.
//
// Returns the list window that was current before the call, or null. A window that is no window,
// or one whose first use finds no MainHeap room for its record or stack, is refused: the previous
// state stays as it was (GadgetListUse(nullptr) tells).
HWND GadgetListUse(HWND window);

// The subclass procedure of every list window; passes every message on. At WM_NCDESTROY the
// window's record and parked stack are freed; if it is the list window, there is no list window
// until the next GadgetListUse (the live stack stays for the next window).
LRESULT CALLBACK GadgetListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
