// The input requester: a small modal dialog that asks for one line of text.
//
// It has its own window class ("InputRequester") and its own message loop, and does not go
// through the runtime's window and event layer. Its state is one process-wide record, so one
// requester can be open at a time; it runs on the calling thread and blocks it until the dialog
// has gone. Needs RuntimeStart (module instance, MainHeap, StringBuffer, ListHeap).
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/registry.h"

// A window that ThreadWindowsDisable disabled: the payload of a ListNode on the ListHeap.
struct DisabledWindowEntry {
  DWORD threadId;  // thread that disabled the window; only that thread enables it again
  HWND window;     // the disabled top-level window
};

// The state of the open requester. Zero at program start; the handles are stale once the dialog
// has gone, apart from dialogFont.
struct RequesterStateRecord {
  HWND labelControl;          // prompt label of the open dialog
  HWND editControl;           // text field of the open dialog; the accepted text is read from it
  HWND owner;                 // foreground window of the process when the dialog opened, or null
  int32_t done;               // 1 once the dialog window is destroyed; the loop runs while 0
  int32_t ownerDisabled;      // 1 while owner is disabled by the requester and awaits enabling
  HWND okControl;             // "OK" button of the open dialog
  HFONT dialogFont;           // the controls' font: the stock GUI font, fetched once and kept
  ListNode* disabledWindows;  // DisabledWindowEntry list, newest first, shared by all threads
};

extern RequesterStateRecord RequesterState;

// Shows the dialog with title, prompt and defaultText (each may be null, meaning the empty text)
// and returns when it has gone. The three texts are copied on entry and not read again.
//
// The answer is left in the StringBuffer from mark on, NUL-terminated, and the buffer's used
// length becomes mark + the answer's length, whatever it held behind mark before. The answer is
// the field's text when the user accepted (Enter or "OK"), and the empty text when the user
// cancelled (Escape or closing the window) or the dialog could not be made. mark must lie between
// 0 and the buffer's used length; move the answer out with StringAssignFromBuffer(.., mark).
//
// While the dialog is open, the other visible, enabled top-level windows of the calling thread
// are disabled, and the foreground window of the process, if any, owns the dialog and is
// disabled too; all of them, and only them, are enabled again before the dialog is destroyed.
//
// A WM_QUIT that reaches the dialog's loop cancels the dialog and is posted again, with its exit
// code, for the caller's own loop to see.
void InputRequester(const char* title, const char* prompt, const char* defaultText, int32_t mark);

// The window procedure of the "InputRequester" class.
LRESULT CALLBACK RequesterDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Enables what the requester disabled: its owner (if it disabled it) and the calling thread's
// entries in RequesterState.disabledWindows. Runs before the dialog is destroyed, so that the
// platform can hand the activation back to the owner rather than to another program.
void RequesterClose();

// Disables every visible, enabled top-level window of the calling thread except the foreground
// window, and records each in RequesterState.disabledWindows. A window for which no entry can be
// allocated is left enabled, so that nothing stays disabled without a record of it.
void ThreadWindowsDisable();

// Enables the windows recorded by the calling thread and drops their entries; entries of other
// threads stay.
void ThreadWindowsEnable();

// The foreground window when it belongs to the calling process, else null.
HWND ForegroundWindowOfProcess();
