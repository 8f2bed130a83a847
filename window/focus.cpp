#include "window/focus.h"

#include <cstring>

namespace {

// The class of a window that lives as an MDI child: navigation inside it stays inside it.
constexpr char kMdiChildClass[] = "MDI_ChildClass";

bool TabStopIs(HWND window) {
  return IsWindowEnabled(window) && IsWindowVisible(window) &&
         (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP);
}

bool MdiChildIs(HWND window) {
  char className[50];
  if (!GetClassNameA(window, className, sizeof className)) return false;
  return strcmp(className, kMdiChildClass) == 0;
}

}  // namespace

void FocusNavigate(int32_t direction) {
  HWND root = GetActiveWindow();
  // Without an active window EnumChildWindows would walk every top-level window on the desktop,
  // and a window whose WS_MAXIMIZEBOX reads as WS_TABSTOP would be activated by Tab.
  if (!root) return;
  HWND focus = GetFocus();
  TabWalk walk = {nullptr, nullptr, 0, 0};
  if (IsChild(root, focus)) {
    walk.currentControl = focus;
    // The highest MDI child above the focus wins, as the walk ends at the top.
    for (HWND window = focus; window; window = GetParent(window)) {
      if (!MdiChildIs(window)) continue;
      root = window;
      if (window == focus) walk.currentControl = nullptr;
    }
  }
  LPARAM walkAddress = reinterpret_cast<LPARAM>(&walk);
  if (direction == 0) {
    EnumChildWindows(root, FocusNextEnumProc, walkAddress);
    // The current control was the last stop: a second pass gives the focus to the first.
    if (walk.takeNext) EnumChildWindows(root, FocusNextEnumProc, walkAddress);
  } else {
    EnumChildWindows(root, FocusPreviousEnumProc, walkAddress);
    // Nothing came before the current control (or there was none): wrap to the last stop.
    if (!walk.moved && walk.previousStop) SetFocus(walk.previousStop);
  }
}

BOOL CALLBACK FocusNextEnumProc(HWND window, LPARAM walkAddress) {
  auto* walk = reinterpret_cast<TabWalk*>(walkAddress);
  if (!TabStopIs(window)) return TRUE;
  if (walk->takeNext || !walk->currentControl) {
    SetFocus(window);
    walk->takeNext = 0;
    return FALSE;
  }
  if (window == walk->currentControl) walk->takeNext = 1;
  return TRUE;
}

BOOL CALLBACK FocusPreviousEnumProc(HWND window, LPARAM walkAddress) {
  auto* walk = reinterpret_cast<TabWalk*>(walkAddress);
  if (!TabStopIs(window)) return TRUE;
  if (window == walk->currentControl && walk->previousStop) {
    SetFocus(walk->previousStop);
    walk->moved = 1;
    walk->previousStop = window;
    return FALSE;
  }
  walk->previousStop = window;
  return TRUE;
}
