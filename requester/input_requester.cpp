#include "requester/input_requester.h"

#include "runtime/instance.h"
#include "runtime/memory.h"
#include "runtime/strings.h"

#include <cstring>

RequesterStateRecord RequesterState;

namespace {

constexpr char kClassName[] = "InputRequester";

constexpr DWORD kDialogStyle = WS_VISIBLE | WS_CAPTION;  // no system menu, so no close box
// 0x5000000B: the low word is SS_SIMPLE (0xB), not SS_LEFTNOWORDWRAP (0xC), though the label is
// described as one that does not wrap. SS_SIMPLE is kept because the style word is the dialog's
// established look, checked by its layout test, and both styles draw the prompt as one
// left-aligned line that is never wrapped. Where they differ (tab expansion, grey text when
// disabled, repainting after a text change), this label never goes: its text is set once at
// creation and holds no tab in this program, and nothing disables it.
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_SIMPLE;
constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;

constexpr int kDialogWidth = 300;  // outer size, title bar included
constexpr int kDialogHeight = 130;

constexpr WORD kEditId = 10;
// The button's identifier doubles as the accept command, so a click and Enter take one path.
constexpr WORD kAcceptCommand = 1000;
constexpr WORD kCancelCommand = 1001;

void RequesterClassRegister() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW;
  windowClass.lpfnWndProc = RequesterDialogProc;
  windowClass.hInstance = ModuleInstance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  // Fails harmlessly when the class is still registered; the dialog then uses that registration.
  RegisterClassExA(&windowClass);
}

HWND ChildCreate(HWND dialog, DWORD exStyle, const char* className, const char* text, DWORD style,
                 int x, int y, int width, int height, WORD id) {
  HWND child =
      CreateWindowExA(exStyle, className, text, style, x, y, width, height, dialog,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ModuleInstance, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(RequesterState.dialogFont), TRUE);
  return child;
}

void DialogFill(HWND dialog, const char* prompt, const char* defaultText) {
  RequesterState.labelControl =
      ChildCreate(dialog, 0, "STATIC", prompt, kLabelStyle, 10, 10, 280, 22, 0);
  RequesterState.editControl =
      ChildCreate(dialog, WS_EX_CLIENTEDGE, "EDIT", nullptr, kEditStyle, 10, 32, 275, 21, kEditId);
  SetFocus(RequesterState.editControl);
  if (defaultText) {
    // Caret behind the text and nothing selected, so typing adds to the default instead of
    // replacing it.
    WPARAM length = strlen(defaultText);
    SendMessageA(RequesterState.editControl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(defaultText));
    SendMessageA(RequesterState.editControl, EM_SETSEL, length, static_cast<LPARAM>(length));
  }
  RequesterState.okControl =
      ChildCreate(dialog, 0, "BUTTON", "OK", kButtonStyle, 110, 67, 80, 25, kAcceptCommand);
}

// Enables what the requester disabled before the window goes, then destroys it.
void DialogEnd(HWND dialog) {
  RequesterClose();
  DestroyWindow(dialog);
}

void OnAccept(HWND dialog) {
  // No slot before DialogRun has set it, and none after the first accept: an accept command sent
  // from outside at such a time only ends the dialog.
  auto* resultSlot = reinterpret_cast<char**>(SetWindowLongPtrA(dialog, GWLP_USERDATA, 0));
  if (resultSlot) {
    int size = GetWindowTextLengthA(RequesterState.editControl) + 1;
    char* text = static_cast<char*>(HeapAlloc(MainHeap, 0, size));
    if (text) GetWindowTextA(RequesterState.editControl, text, size);
    *resultSlot = text;
  }
  DialogEnd(dialog);
}

// Runs until the dialog is destroyed (true) or a WM_QUIT arrives (false, its exit code in
// *exitCode).
bool DialogLoop(HWND dialog, HACCEL accelerators, int* exitCode) {
  MSG message;
  while (!RequesterState.done) {
    if (!GetMessageA(&message, nullptr, 0, 0)) {
      *exitCode = static_cast<int>(message.wParam);
      return false;
    }
    if (!TranslateAcceleratorA(dialog, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return true;
}

void DialogRun(HWND dialog, char** resultSlot, const char* prompt, const char* defaultText) {
  SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(resultSlot));
  DialogFill(dialog, prompt, defaultText);
  ACCEL keys[] = {
      {FVIRTKEY, VK_RETURN, kAcceptCommand},
      {FVIRTKEY, VK_ESCAPE, kCancelCommand},
  };
  HACCEL accelerators = CreateAcceleratorTableA(keys, sizeof keys / sizeof keys[0]);
  SetForegroundWindow(dialog);
  BringWindowToTop(dialog);
  int exitCode;
  if (!DialogLoop(dialog, accelerators, &exitCode)) {
    // The quit request was meant for the caller's loop. The dialog must go before InputRequester
    // returns: its window holds the address of the result slot, a local of that call.
    DialogEnd(dialog);
    PostQuitMessage(exitCode);
  }
  if (accelerators) DestroyAcceleratorTable(accelerators);
}

// The EnumWindows visit of ThreadWindowsDisable; always goes on with the enumeration.
BOOL CALLBACK ThreadWindowsDisableVisit(HWND window, LPARAM foreground) {
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (window == reinterpret_cast<HWND>(foreground)) return TRUE;
  auto* entry = static_cast<DisabledWindowEntry*>(
      ListNodeAdd(&RequesterState.disabledWindows, sizeof(DisabledWindowEntry)));
  if (!entry) return TRUE;
  entry->threadId = GetCurrentThreadId();
  entry->window = window;
  EnableWindow(window, FALSE);
  return TRUE;
}

}  // namespace

void InputRequester(const char* title, const char* prompt, const char* defaultText, int32_t mark) {
  char* result = nullptr;  // the result slot: a MainHeap copy of the accepted text
  char* titleCopy = StringDuplicate(title);
  char* promptCopy = StringDuplicate(prompt);
  char* defaultCopy = StringDuplicate(defaultText);
  if (!RequesterState.dialogFont) {
    RequesterState.dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  RequesterClassRegister();
  RequesterState.done = 0;

  ThreadWindowsDisable();
  RequesterState.owner = ForegroundWindowOfProcess();
  RequesterState.ownerDisabled = 0;
  if (RequesterState.owner && IsWindowEnabled(RequesterState.owner)) {
    EnableWindow(RequesterState.owner, FALSE);
    RequesterState.ownerDisabled = 1;
  }

  // The owner is asked for again rather than taken from owner: disabling windows can move the
  // activation.
  HWND dialog = CreateWindowExA(0, kClassName, titleCopy, kDialogStyle,
                                GetSystemMetrics(SM_CXSCREEN) / 2 - 150,
                                GetSystemMetrics(SM_CYSCREEN) / 2 - 65, kDialogWidth, kDialogHeight,
                                ForegroundWindowOfProcess(), nullptr, ModuleInstance, nullptr);
  if (dialog) {
    DialogRun(dialog, &result, promptCopy, defaultCopy);
  } else {
    RequesterClose();
  }
  // Not at WM_DESTROY: a class cannot be unregistered while its window still exists.
  UnregisterClassA(kClassName, ModuleInstance);

  if (result) {
    size_t length = strlen(result);
    memcpy(StringBufferReserve(static_cast<int32_t>(length), mark), result, length + 1);
    MemoryFree(result);
  } else {
    StringBufferTruncate(mark);
  }
  MemoryFree(titleCopy);
  MemoryFree(promptCopy);
  MemoryFree(defaultCopy);
}

LRESULT CALLBACK RequesterDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // The low word alone: a button click and an accelerator differ only in the high word.
      switch (LOWORD(wParam)) {
        case kAcceptCommand: OnAccept(window); break;
        case kCancelCommand: DialogEnd(window); break;
      }
      return 0;
    case WM_CLOSE: DialogEnd(window); return 0;
    case WM_DESTROY:
      // Normally everything is enabled again already; this covers a dialog destroyed from
      // outside (with its owner, say), which would otherwise leave the windows disabled for good.
      RequesterClose();
      RequesterState.done = 1;
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RequesterClose() {
  if (RequesterState.ownerDisabled) {
    EnableWindow(RequesterState.owner, TRUE);
    RequesterState.ownerDisabled = 0;
  }
  ThreadWindowsEnable();
}

void ThreadWindowsDisable() {
  EnumWindows(ThreadWindowsDisableVisit, reinterpret_cast<LPARAM>(GetForegroundWindow()));
}

void ThreadWindowsEnable() {
  DWORD thread = GetCurrentThreadId();
  // Enabling sends WM_ENABLE, whose handler may open or close another requester and so change the
  // list: each entry is dropped before its window is enabled, and the walk starts again from the
  // head after every enabling rather than keep a node that may have gone.
  ListNode* node = RequesterState.disabledWindows;
  while (node) {
    auto* entry = static_cast<DisabledWindowEntry*>(ListNodePayload(node));
    if (entry->threadId != thread) {
      node = node->next;
      continue;
    }
    HWND window = entry->window;
    ListNodeRemove(&RequesterState.disabledWindows, entry);
    EnableWindow(window, TRUE);
    node = RequesterState.disabledWindows;
  }
}

HWND ForegroundWindowOfProcess() {
  HWND window = GetForegroundWindow();
  if (!window) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId() ? window : nullptr;
}
