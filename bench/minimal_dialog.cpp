// The yardstick for the program's start-up time and file size: the least a Win32 program needs to
// show a dialog like the program's first one (a 300 x 130 captioned window at the screen's centre
// with a label, an edit field and an OK button), with no runtime layer beneath it. Enter, Escape
// and WM_CLOSE end it. Built like the release program (-Os -s -static, no exceptions or RTTI).
//
// Three more builds add, one at a time, what the program does before its first dialog, so that
// each thing's share of the start-up time shows: the program's manifest (version 6 of the common
// controls, so visual styles); then, under MINIMAL_PLATFORM_SETUP, the program's common-control
// classes and COM start; then, under MINIMAL_CREATED_VISIBLE, a dialog that is visible from its
// creation on, before its controls exist, as the program's dialog is.
#include <windows.h>

#ifdef MINIMAL_PLATFORM_SETUP
#include <commctrl.h>
#include <objbase.h>
#endif

namespace {

constexpr char kClassName[] = "MinimalDialog";
constexpr int kWidth = 300;
constexpr int kHeight = 130;
#ifdef MINIMAL_CREATED_VISIBLE
constexpr DWORD kDialogStyle = WS_CAPTION | WS_VISIBLE;
#else
constexpr DWORD kDialogStyle = WS_CAPTION;
#endif

HWND ChildCreate(HWND dialog, DWORD exStyle, const char* className, const char* text, DWORD style,
                 int x, int y, int width, int height, int id) {
  auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  HWND child = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y,
                               width, height, dialog, menu, nullptr, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return child;
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
#ifdef MINIMAL_PLATFORM_SETUP
  // The calls of the program's gadget layer and platform start, in their order.
  INITCOMMONCONTROLSEX classes = {};
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&classes);
  InitCommonControls();
  CoInitialize(nullptr);
#endif
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DialogProc;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  HWND dialog = CreateWindowExA(0, kClassName, "Minimal", kDialogStyle,
                                (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2, kWidth, kHeight,
                                nullptr, nullptr, nullptr, nullptr);
  ChildCreate(dialog, 0, "STATIC", "Prompt", SS_SIMPLE, 10, 10, 280, 22, 0);
  HWND edit = ChildCreate(dialog, WS_EX_CLIENTEDGE, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, 10,
                          32, 275, 21, 0);
  ChildCreate(dialog, 0, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 110, 67, 80, 25, IDOK);
  if (!(kDialogStyle & WS_VISIBLE)) ShowWindow(dialog, SW_SHOW);
  SetFocus(edit);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    bool key = message.message == WM_KEYDOWN;
    if (key && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
      DestroyWindow(dialog);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
