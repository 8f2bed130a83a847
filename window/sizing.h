// Live window sizing: the program sizes its windows itself, through its own message loop.
//
// The platform sizes a window by border or by the system menu's Size in a modal loop of its own,
// inside DefWindowProc, and the program's event wait would not run until the user lets go. While
// the user's "show window contents while dragging" setting is on, SizingMessageHandler takes such
// an operation over instead: it holds the mouse capture, forms the new rectangle from ordinary
// mouse and key messages and moves the window at every step, so WM_SIZE and WM_MOVE reach the
// window (and become events) while the user is still dragging. Moving a window (SC_MOVE) stays
// with the platform. Window thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// The one sizing operation of the program. It does not remember its window: every message acts
// on the window it is addressed to, which during an operation is the window holding the capture.
struct SizingState {
  int32_t active;         // 1 while an operation is in progress
  int32_t restoreCursor;  // 1: put the cursor back at savedCursor at the end; set for an operation
                          // started without an edge, cleared by the first mouse move
  POINT savedCursor;      // screen position of the cursor when an operation without an edge began
  RECT rect;              // the window rectangle being formed, in screen coordinates
  RECT startRect;         // the window rectangle when the operation began; kept for reference
  int32_t edge;           // the dragged edge or corner as a WMSZ_ code (1 left to 8 bottom-right);
                          // 0 while none is chosen
  MINMAXINFO limits;      // filled at the start and offered to the window with WM_GETMINMAXINFO;
                          // only the tracking sizes are read afterwards
};

// Made zero-filled by the window layer's start routine, before any runtime window exists, and
// never freed. Every routine below needs it.
extern SizingState* Sizing;

// The first stop of every message of every runtime window. Starts an operation on WM_SYSCOMMAND
// SC_SIZE when full-window dragging is on; while one runs, it takes the mouse moves, Enter, Esc,
// the left button's release and the end of the capture. The operation ends when the window loses
// the capture (WM_CAPTURECHANGED) or is destroyed, and WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE are
// posted around it. Returns 0 for a message it consumed, else UNHANDLED (arrow keys and
// WM_DESTROY are acted on and still passed on).
LRESULT SizingMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the cursor to the screen point x, y and gives it the shape of the system cursor cursorId
// (an IDC_ number, such as 32646 for the four-way arrow).
void SizingCursorSet(int cursorId, int x, int y);

// Moves the dragged sides of state->rect to the screen point x, y, within the tracking limits.
// A right or bottom side lands 2 pixels right of or below the point, the top-left corner 2 pixels
// left of and above it: the arrow keys put the cursor that far inside those sides, so a mouse move
// to where they put it changes nothing. Edge 0 changes nothing either.
void SizingRectApply(SizingState* state, int x, int y);

// Places window on the screen rectangle rect; a child window's rectangle is taken to its parent's
// client coordinates first.
void SizingWindowMove(HWND window, const RECT* rect);

// One keyboard step: the cursor goes to the screen point x, y and the dragged edge follows it
// (WM_SIZING lets the window adjust the rectangle before the window is moved).
void SizingStep(SizingState* state, HWND window, int x, int y);
