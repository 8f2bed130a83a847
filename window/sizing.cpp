#include "window/sizing.h"

#include "runtime/protocol.h"

#include <windowsx.h>

SizingState* Sizing;

namespace {

// The system cursors of the operation, as IDC_ numbers.
constexpr int kCursorSizeNwse = 32642;  // top-left and bottom-right corners
constexpr int kCursorSizeNesw = 32643;  // top-right and bottom-left corners
constexpr int kCursorSizeWe = 32644;    // left and right edges
constexpr int kCursorSizeNs = 32645;    // top and bottom edges
constexpr int kCursorSizeAll = 32646;   // no edge chosen yet

// How far one arrow key drags the chosen edge.
constexpr int kArrowStep = 10;

// Where an arrow key puts the cursor on one axis: on a side of the rectangle, moved by inset, or,
// without a side, where the cursor already is.
struct CursorSpot {
  LONG RECT::*side;  // the side of SizingState::rect, or null: the cursor's own coordinate
  LONG inset;        // added to the side: 2 or -2 puts the cursor just inside it, where a mouse
                     // move leaves the side in place (SizingRectApply adds the 2 pixels back)
};

constexpr CursorSpot kCursorAxis = {nullptr, 0};
constexpr CursorSpot kLeft = {&RECT::left, 0};
constexpr CursorSpot kLeftInside = {&RECT::left, 2};
constexpr CursorSpot kRightInside = {&RECT::right, -2};
constexpr CursorSpot kTop = {&RECT::top, 0};
constexpr CursorSpot kTopInside = {&RECT::top, 2};
constexpr CursorSpot kBottomInside = {&RECT::bottom, -2};

// An arrow key that picks an edge or corner instead of dragging.
struct EdgeChoice {
  int32_t from;  // the edge this applies to: 0 (none yet) or a side the key turns into a corner
  int32_t to;    // the edge or corner chosen
  int cursorId;  // the cursor's new shape
  CursorSpot x;  // where the cursor goes
  CursorSpot y;
};

struct ArrowKey {
  WPARAM key;             // the virtual key
  int dx, dy;             // the drag when the key chooses nothing
  EdgeChoice choices[3];  // from no edge to a side, and from the two sides across it to corners
};

// clang-format off
constexpr ArrowKey kArrowKeys[] = {
    {VK_LEFT, -kArrowStep, 0,
     {{0, WMSZ_LEFT, kCursorSizeWe, kLeft, kCursorAxis},
      {WMSZ_TOP, WMSZ_TOPLEFT, kCursorSizeNwse, kLeftInside, kTopInside},
      {WMSZ_BOTTOM, WMSZ_BOTTOMLEFT, kCursorSizeNesw, kLeft, kBottomInside}}},
    {VK_UP, 0, -kArrowStep,
     {{0, WMSZ_TOP, kCursorSizeNs, kCursorAxis, kTop},
      {WMSZ_RIGHT, WMSZ_TOPRIGHT, kCursorSizeNesw, kRightInside, kTop},
      {WMSZ_LEFT, WMSZ_TOPLEFT, kCursorSizeNwse, kLeftInside, kTopInside}}},
    {VK_RIGHT, kArrowStep, 0,
     {{0, WMSZ_RIGHT, kCursorSizeWe, kRightInside, kCursorAxis},
      {WMSZ_TOP, WMSZ_TOPRIGHT, kCursorSizeNesw, kRightInside, kTop},
      {WMSZ_BOTTOM, WMSZ_BOTTOMRIGHT, kCursorSizeNwse, kRightInside, kBottomInside}}},
    {VK_DOWN, 0, kArrowStep,
     {{0, WMSZ_BOTTOM, kCursorSizeNs, kCursorAxis, kBottomInside},
      {WMSZ_RIGHT, WMSZ_BOTTOMRIGHT, kCursorSizeNwse, kRightInside, kBottomInside},
      {WMSZ_LEFT, WMSZ_BOTTOMLEFT, kCursorSizeNesw, kLeft, kBottomInside}}},
};
// clang-format on

HCURSOR SystemCursor(int cursorId) {
  return static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(cursorId), IMAGE_CURSOR, 0, 0,
                                         LR_SHARED | LR_DEFAULTSIZE));
}

LONG SpotCoordinate(const CursorSpot& spot, const RECT& rect, LONG cursor) {
  return spot.side ? rect.*spot.side + spot.inset : cursor;
}

// The moved side, kept so that its distance from the opposite side lies within minimum and
// maximum. direction is 1 for a right or bottom side, -1 for a left or top one.
LONG SideLimit(LONG moved, LONG opposite, int direction, LONG minimum, LONG maximum) {
  LONG span = (moved - opposite) * direction;
  if (span < minimum) return opposite + direction * minimum;
  if (span > maximum) return opposite + direction * maximum;
  return moved;
}

// The platform's defaults, before the window has its say through WM_GETMINMAXINFO.
void LimitsFill(HWND window, MINMAXINFO* limits) {
  limits->ptReserved = {0, 0};
  limits->ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) {
    limits->ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  } else if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
    limits->ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  } else {
    limits->ptMaxPosition = {0, 0};
  }
  limits->ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits->ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

// The dragged edge follows the screen point: the window may still adjust the rectangle in
// WM_SIZING before it is moved.
void SizingFollow(SizingState* state, HWND window, int x, int y) {
  SizingRectApply(state, x, y);
  SendMessageA(window, WM_SIZING, state->edge, reinterpret_cast<LPARAM>(&state->rect));
  SizingWindowMove(window, &state->rect);
}

LRESULT OnSizeCommand(HWND window, WPARAM command) {
  BOOL dragFullWindows = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &dragFullWindows, 0);
  if (!dragFullWindows) return UNHANDLED;
  // The platform puts the grabbed border's WMSZ_ code in the low bits; the menu's Size leaves 0.
  Sizing->edge = static_cast<int32_t>(command & 0xF);
  Sizing->active = 1;
  GetWindowRect(window, &Sizing->rect);
  Sizing->startRect = Sizing->rect;
  LimitsFill(window, &Sizing->limits);
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Sizing->limits));
  // Only the high bit says the button is down: the low bit flips with every press.
  if (GetKeyState(VK_LBUTTON) >= 0) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  Sizing->restoreCursor = Sizing->edge == 0;
  if (Sizing->restoreCursor) {
    GetCursorPos(&Sizing->savedCursor);
    SetCursor(SystemCursor(kCursorSizeAll));
  }
  return 0;
}

LRESULT OnMouseMove(HWND window, LPARAM lParam) {
  Sizing->restoreCursor = 0;
  POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  MapWindowPoints(window, HWND_DESKTOP, &point, 1);
  SizingFollow(Sizing, window, point.x, point.y);
  return 0;
}

// Chooses an edge or corner, or else drags the chosen one a step.
void ArrowKeyApply(const ArrowKey& arrow, HWND window) {
  POINT cursor;
  GetCursorPos(&cursor);
  for (const EdgeChoice& choice : arrow.choices) {
    if (choice.from != Sizing->edge) continue;
    Sizing->edge = choice.to;
    SizingCursorSet(choice.cursorId, SpotCoordinate(choice.x, Sizing->rect, cursor.x),
                    SpotCoordinate(choice.y, Sizing->rect, cursor.y));
    return;
  }
  SizingStep(Sizing, window, cursor.x + arrow.dx, cursor.y + arrow.dy);
}

LRESULT OnKeyDown(HWND window, WPARAM key) {
  // Esc keeps the rectangle reached so far, like Enter: the window has moved at every step.
  if (key == VK_RETURN || key == VK_ESCAPE) {
    ReleaseCapture();
    return 0;
  }
  for (const ArrowKey& arrow : kArrowKeys) {
    if (arrow.key == key) ArrowKeyApply(arrow, window);
  }
  return UNHANDLED;
}

LRESULT OnButtonUp() {
  ReleaseCapture();
  return 0;
}

// Every ending comes here: Enter, Esc and the button's release give the capture up, and so does
// any other window taking it.
LRESULT OnCaptureChanged(HWND window) {
  PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
  Sizing->active = 0;
  if (Sizing->restoreCursor) SetCursorPos(Sizing->savedCursor.x, Sizing->savedCursor.y);
  return 0;
}

// A window destroyed while it is being sized loses the capture, but Wine tells it nothing: without
// this the operation would stay active with no window, swallowing every runtime window's mouse
// moves and button releases. The message goes on to the window's own handling.
LRESULT OnDestroy(HWND window) {
  HWND capture = GetCapture();
  if (capture == window || !capture) OnCaptureChanged(window);
  return UNHANDLED;
}

}  // namespace

LRESULT SizingMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Sizing->active) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE) {
      return OnSizeCommand(window, wParam);
    }
    return UNHANDLED;
  }
  switch (message) {
    case WM_MOUSEMOVE: return OnMouseMove(window, lParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam);
    case WM_LBUTTONUP: return OnButtonUp();
    case WM_CAPTURECHANGED: return OnCaptureChanged(window);
    case WM_DESTROY: return OnDestroy(window);
  }
  return UNHANDLED;
}

void SizingCursorSet(int cursorId, int x, int y) {
  SetCursorPos(x, y);
  SetCursor(SystemCursor(cursorId));
}

void SizingRectApply(SizingState* state, int x, int y) {
  RECT& rect = state->rect;
  const POINT& minimum = state->limits.ptMinTrackSize;
  const POINT& maximum = state->limits.ptMaxTrackSize;
  int32_t edge = state->edge;
  // Horizontal sides first, then vertical ones; a corner moves one of each.
  if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT) {
    rect.left = edge == WMSZ_TOPLEFT ? x - 2 : x;
    rect.left = SideLimit(rect.left, rect.right, -1, minimum.x, maximum.x);
  }
  if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT) {
    rect.right = SideLimit(x + 2, rect.left, 1, minimum.x, maximum.x);
  }
  if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT) {
    rect.top = edge == WMSZ_TOPLEFT ? y - 2 : y;
    rect.top = SideLimit(rect.top, rect.bottom, -1, minimum.y, maximum.y);
  }
  if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT) {
    rect.bottom = SideLimit(y + 2, rect.top, 1, minimum.y, maximum.y);
  }
}

void SizingWindowMove(HWND window, const RECT* rect) {
  RECT place = *rect;
  if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
  }
  MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top,
             TRUE);
}

void SizingStep(SizingState* state, HWND window, int x, int y) {
  SetCursorPos(x, y);
  SizingFollow(state, window, x, y);
}
