// Numbered top-level windows: each has a class of its own whose procedure is TopWindowProc, a
// record in the window table, the KX_WindowID property, and an accelerator table that turns Tab
// and Shift+Tab into focus moves.
//
// Numbers are chosen by the caller (0 or more), or -1 for a dynamically numbered window whose
// handle (the address of its record) then stands in for the number. Every operation by number
// accepts such a handle; a value that names no open window is ignored. Only the thread that
// called RuntimeStart may use any of this.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/registry.h"

// Bits of WindowOpen's flags that the runtime takes for itself and removes from the style. Every
// other bit is a window style and is passed on.
constexpr uint32_t WindowFlagCentreScreen = 0x00000001;  // wins over WindowFlagCentreParent
constexpr uint32_t WindowFlagCentreParent = 0x00000002;  // on the parent, else the active window
constexpr uint32_t WindowFlagNoGadgetList = 0x00000008;  // the window does not take new gadgets
constexpr uint32_t WindowFlagHidden = 0x10000000;        // not shown (WS_VISIBLE's bit, inverted)

// x or y of WindowOpen: let the platform choose the position (ignored when centring).
constexpr int32_t WindowDefaultPosition = -65535;

// The accelerator commands of every window; WindowMessageHandler turns them into focus moves.
constexpr WORD CommandFocusNext = 64001;      // Tab
constexpr WORD CommandFocusPrevious = 64002;  // Shift+Tab

// A window's own message callback. It sees every message that live sizing does not consume;
// returning PASS_ON lets the runtime's own handling go on, anything else is the message's result.
using WindowCallback = LRESULT(CALLBACK*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Erases a window's background (WM_ERASEBKGND) when no background brush is set; its result is
// the message's result.
using WindowEraseRoutine = LRESULT (*)(HDC context, HWND window);

// The entry of the window table. Live while handle is non-null.
struct WindowRecord {
  HWND handle;                      // the platform window
  ACCEL* accelerators;              // acceleratorCount entries on the MainHeap; owned
  HACCEL acceleratorTable;          // made from accelerators; owned; null if it could not be made
  WindowCallback callback;          // the window's own callback, or null
  int32_t acceleratorCount;         // entries in accelerators: 2 (0 if the array was not had)
  int32_t reserved;                 // -1 from the opening on; read by nothing
  HBRUSH backgroundBrush;           // fills the client area on WM_ERASEBKGND, or null; owned
  HWND mdiClient;                   // the MDI client that holds the window as a child, or null
  WindowEraseRoutine eraseRoutine;  // used on WM_ERASEBKGND when no brush is set, or null
  uint16_t minWidth;                // minimum tracking width in pixels; 0 = no limit of its own
  uint16_t minHeight;               // minimum tracking height; 0 = none
  uint16_t maxWidth;                // maximum tracking width; 0 = none
  uint16_t maxHeight;               // maximum tracking height; 0 = none
  int32_t sizeState;                // 1 while minimised or maximised, else 0
};

// The window table (16 entries, growing by 16), made by WindowLayerStart. Its slot callback is
// WindowClose, so opening a number that is in use closes the window that holds it first.
extern ObjectTable* WindowTable;

// The live record of a number or dynamic handle, or null. Valid until the table next grows (any
// WindowOpen): look it up again after anything that may open a window.
WindowRecord* WindowFind(intptr_t number);

// Opens a window with a client area of width x height at the outer position x, y (or centred, or
// where the platform chooses; see the flags above) and a title (null: the empty title). Unless
// WindowFlagNoGadgetList is set, the window becomes the current gadget list. A window whose flags
// carry no style bit gets a caption. Returns the window handle for a numbered window, the
// window's dynamic handle for -1, and 0 when the window could not be made (or for a number below
// -1).
intptr_t WindowOpen(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const char* title, uint32_t flags);

// The same with parent as the new window's owner (null for none), also used for centring.
intptr_t WindowOpenWithParent(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                              const char* title, uint32_t flags, HWND parent);

// Closes the window: its owner is activated first, then the window and its gadgets are destroyed,
// its class is unregistered and its record released. A number without a window is ignored.
void WindowClose(intptr_t number);

// The accelerator table for the message loop while active is the active window, or null: null
// also while Tab alone is down in a writable rich-edit control, which takes Tab as a character.
HACCEL WindowAcceleratorFor(HWND active);

// Fields that no other operation sets. Each does nothing for a number without a window.
void WindowCallbackSet(intptr_t number, WindowCallback callback);
// A solid background of colour (0x00BBGGRR); -1 removes it. The brush belongs to the window.
void WindowBackgroundSet(intptr_t number, int32_t colour);
void WindowEraseRoutineSet(intptr_t number, WindowEraseRoutine routine);
// Tracking limits in pixels; 0 leaves that limit to the platform.
void WindowSizeLimitsSet(intptr_t number, uint16_t minWidth, uint16_t minHeight, uint16_t maxWidth,
                         uint16_t maxHeight);
// Marks the window as one that lives as a child of the MDI client, which then destroys it.
void WindowMdiClientSet(intptr_t number, HWND mdiClient);
// Marks the window as a drop target (KX_DropAccept), so that closing it revokes the OLE drop
// target the program registered for it. Drops reach the event wait as MessageWindowDrop and
// MessageGadgetDrop.
void WindowDropAccept(intptr_t number);

// The window layer's start and end: called once each, by RuntimeStart and RuntimeEnd.
// The end closes every open window (numbered ones in ascending order, then dynamic ones, oldest
// first) and frees the current event's drop data.
void WindowLayerStart();
void WindowLayerEnd();
