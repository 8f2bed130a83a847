// Keyboard focus navigation: Tab and Shift+Tab among the tab stops of the active window.
//
// Runtime windows are plain top-level windows, not dialogs, so the platform moves no focus
// between their controls. Their accelerator tables turn Tab and Shift+Tab into focus commands,
// and the window layer carries those out with FocusNavigate. Window thread only.
//
// A tab stop is a descendant of the navigation root that is enabled, visible and has WS_TABSTOP.
// The tab order is the order in which EnumChildWindows visits the root's descendants: each child,
// then, depth first, its own descendants. The root is the active window, or, while the focus lies
// inside a window of the class "MDI_ChildClass", that MDI child window.
#pragma once

#include <windows.h>

#include <cstdint>

// One navigation's progress, on FocusNavigate's stack and shared with the enumeration callbacks
// it starts.
struct TabWalk {
  HWND currentControl;  // the focus window; null when the focus is outside the root or is the root
  HWND previousStop;    // backward walk: the last tab stop passed so far; starts null
  int32_t takeNext;     // forward walk: 1 once currentControl was passed, so the next stop takes it
  int32_t moved;        // backward walk: 1 once the focus has been moved
};

// Moves the keyboard focus to the next (direction 0) or previous (any other direction) tab stop
// of the root, wrapping around at both ends. A focus outside the root (or none) goes to the first
// stop forward and to the last backward. A focus on a window that is no tab stop stays forward
// and goes to the last stop backward. Without tab stops, or without an active window on this
// thread, nothing changes. The focus messages of SetFocus have run when this returns.
void FocusNavigate(int32_t direction);

// The EnumChildWindows callbacks of the forward and backward walks; walk is the TabWalk's
// address. TRUE goes on with the enumeration, FALSE stops it.
BOOL CALLBACK FocusNextEnumProc(HWND window, LPARAM walk);
BOOL CALLBACK FocusPreviousEnumProc(HWND window, LPARAM walk);
