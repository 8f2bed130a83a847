#include "window/window.h"

#include "gadget/gadget.h"
#include "runtime/instance.h"
#include "runtime/memory.h"
#include "runtime/number_text.h"
#include "runtime/protocol.h"
#include "window/event.h"
#include "window/sizing.h"

#include <ole2.h>
#include <richedit.h>

#include <cstring>

ObjectTable* WindowTable;

namespace {

HICON classIcon;      // the program's icon 1, the class icon of every window
HCURSOR classCursor;  // the arrow

// "WindowClass_" and a signed pointer-sized number always fit.
using ClassName = char[64];

void ClassNameFormat(ClassName name, intptr_t number) {
  NumberNameFormat(name, sizeof(ClassName), "WindowClass_", number);
}

void ClassRegister(const char* name) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = TopWindowProc;
  windowClass.hInstance = ModuleInstance;
  windowClass.hIcon = classIcon;
  windowClass.hCursor = classCursor;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  // A class of that name that is still registered is used as it is.
  RegisterClassA(&windowClass);
}

// Outer size and position of a new window, from the client size, the flags and the parent.
struct Placement {
  int32_t x, y, width, height;
};

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(value < INT32_MIN   ? INT32_MIN
                              : value > INT32_MAX ? INT32_MAX
                                                  : value);
}

Placement PlacementCompute(int32_t x, int32_t y, int32_t width, int32_t height, DWORD style,
                           HWND parent) {
  RECT outer = {0, 0, width, height};
  AdjustWindowRect(&outer, style & ~(WindowFlagCentreScreen | WindowFlagCentreParent), FALSE);
  // Sizes near the 32-bit limits must not wrap when the frame is added.
  Placement p = {x, y, Clamp32(int64_t{outer.right} - outer.left),
                 Clamp32(int64_t{outer.bottom} - outer.top)};
  bool centred = style & (WindowFlagCentreScreen | WindowFlagCentreParent);
  if ((x == WindowDefaultPosition || y == WindowDefaultPosition) && !centred) {
    p.x = p.y = CW_USEDEFAULT;
  }
  if (style & WindowFlagCentreScreen) {
    int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (p.width > screenWidth) p.width = screenWidth;
    if (p.height > screenHeight) p.height = screenHeight;
    p.x = (screenWidth - p.width) / 2;
    p.y = (screenHeight - p.height) / 2;
  } else if (style & WindowFlagCentreParent) {
    HWND reference = parent ? parent : GetActiveWindow();
    RECT r;
    if (reference && GetWindowRect(reference, &r)) {
      p.x = Clamp32(r.left + (int64_t{r.right} - r.left - p.width) / 2);
      p.y = Clamp32(r.top + (int64_t{r.bottom} - r.top - p.height) / 2);
      if (p.x < 0) p.x = 0;
      if (p.y < 0) p.y = 0;
    }
  }
  return p;
}

int ShowCommandFor(DWORD style) {
  if (style & WS_MAXIMIZE) return SW_SHOWMAXIMIZED;
  if (style & WS_MINIMIZE) return SW_SHOWMINIMIZED;
  return SW_SHOWNORMAL;
}

// The two accelerators every window has. A window whose array cannot be had has none, and Tab
// then reaches its controls as a key.
void AcceleratorsMake(WindowRecord* record) {
  static const ACCEL kAccelerators[] = {
      {FVIRTKEY | FNOINVERT, VK_TAB, CommandFocusNext},
      {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CommandFocusPrevious},
  };
  auto* accelerators = static_cast<ACCEL*>(HeapAlloc(MainHeap, 0, sizeof kAccelerators));
  if (!accelerators) return;
  memcpy(accelerators, kAccelerators, sizeof kAccelerators);
  record->accelerators = accelerators;
  record->acceleratorCount = 2;
  record->acceleratorTable = CreateAcceleratorTableA(accelerators, 2);
}

bool KeyDown(int key) {
  return GetKeyState(key) & 0x8000;
}

// Tab alone in a rich-edit control that takes text: the control wants the Tab itself.
bool TabBelongsToFocus() {
  if (!KeyDown(VK_TAB) || KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU)) {
    return false;
  }
  HWND focus = GetFocus();
  if (!focus) return false;
  char name[5] = "";
  GetClassNameA(focus, name, sizeof name);
  if (strncmp(name, "Rich", 4) != 0) return false;
  return !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
}

}  // namespace

WindowRecord* WindowFind(intptr_t number) {
  return static_cast<WindowRecord*>(ObjectFind(WindowTable, number));
}

intptr_t WindowOpen(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const char* title, uint32_t flags) {
  return WindowOpenWithParent(number, x, y, width, height, title, flags, nullptr);
}

intptr_t WindowOpenWithParent(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                              const char* title, uint32_t flags, HWND parent) {
  // cppcheck-suppress compareValueOutOfTypeRangeError ; always false on i686, not on x86_64
  if (number < -1 || number > INT32_MAX) return 0;
  auto* entry = static_cast<WindowRecord*>(ObjectSlot(WindowTable, static_cast<int32_t>(number)));
  if (!entry) return 0;
  bool dynamic = number == -1;
  if (dynamic) number = reinterpret_cast<intptr_t>(entry);
  ClassName className;
  ClassNameFormat(className, number);
  ClassRegister(className);

  bool takesGadgets = !(flags & WindowFlagNoGadgetList);
  DWORD style = flags & ~WindowFlagNoGadgetList;
  if (!(style & ~(WindowFlagCentreScreen | WindowFlagCentreParent | WindowFlagHidden))) {
    style |= WS_CAPTION;
  }
  bool hidden = style & WindowFlagHidden;
  style &= ~WindowFlagHidden;
  Placement p = PlacementCompute(x, y, width, height, style, parent);
  style &= ~(WindowFlagCentreScreen | WindowFlagCentreParent);

  HWND handle = CreateWindowExA(0, className, title ? title : "", style, p.x, p.y, p.width,
                                p.height, parent, nullptr, ModuleInstance, nullptr);
  if (!handle) {
    UnregisterClassA(className, ModuleInstance);
    // A numbered entry holds nothing yet; it may even be the live entry of a window that a
    // callback opened under this number while this one was being made.
    if (dynamic) ObjectRelease(WindowTable, number);
    return 0;
  }
  // Creation runs window procedures (WM_NCCREATE, WM_CREATE, WM_PARENTNOTIFY to a child's
  // parent), and their callbacks may open windows that move the table's array: take the numbered
  // entry again (the array holds the number by now, so it cannot fail). Like any opening, this
  // closes a window that was opened under the number meanwhile. A dynamic entry never moves, and
  // nothing can release it before it is live.
  if (!dynamic) {
    entry = static_cast<WindowRecord*>(ObjectSlot(WindowTable, static_cast<int32_t>(number)));
  }
  entry->handle = handle;
  SetPropA(handle, PropertyWindowId, reinterpret_cast<HANDLE>(number + 1));
  if (!hidden) ShowWindow(handle, ShowCommandFor(style));

  // Showing the window runs other windows' callbacks, which may open windows (moving the table's
  // array) or even close this one: look the record up again.
  WindowRecord* record = WindowFind(number);
  if (!record || record->handle != handle) return 0;
  record->sizeState = (style & (WS_MINIMIZE | WS_MAXIMIZE)) ? 1 : 0;
  AcceleratorsMake(record);
  record->reserved = -1;
  record->mdiClient = nullptr;
  if (takesGadgets) GadgetListUse(handle);
  return dynamic ? number : reinterpret_cast<intptr_t>(handle);
}

void WindowClose(intptr_t number) {
  WindowRecord* record = WindowFind(number);
  if (!record) return;
  HWND handle = record->handle;
  HWND owner = GetWindow(handle, GW_OWNER);
  if (owner && !record->mdiClient) {
    // Before anything goes, so that the activation returns to the owner and not to another
    // program. Activation runs callbacks, which may close this window themselves.
    SetActiveWindow(owner);
    record = WindowFind(number);
    if (!record || record->handle != handle) return;
  }
  HWND mdiClient = record->mdiClient;
  RemovePropA(handle, PropertyWindowId);
  if (RemovePropA(handle, PropertyDropAccept)) RevokeDragDrop(handle);
  if (mdiClient) {
    SendMessageA(mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(handle), 0);
  } else {
    DestroyWindow(handle);
    // Only now: a class cannot be unregistered while a window of it exists.
    ClassName className;
    ClassNameFormat(className, number);
    UnregisterClassA(className, ModuleInstance);
  }
  // The destruction ran the window's callbacks too.
  record = WindowFind(number);
  if (!record || record->handle != handle) return;
  if (record->accelerators) {
    HeapFree(MainHeap, 0, record->accelerators);
    if (record->acceleratorTable) DestroyAcceleratorTable(record->acceleratorTable);
  }
  if (record->backgroundBrush) DeleteObject(record->backgroundBrush);
  ObjectRelease(WindowTable, number);
}

HACCEL WindowAcceleratorFor(HWND active) {
  if (TabBelongsToFocus()) return nullptr;
  auto id = reinterpret_cast<intptr_t>(GetPropA(active, PropertyWindowId));
  if (!id) return nullptr;
  WindowRecord* record = WindowFind(id - 1);
  return record ? record->acceleratorTable : nullptr;
}

void WindowCallbackSet(intptr_t number, WindowCallback callback) {
  if (WindowRecord* record = WindowFind(number)) record->callback = callback;
}

void WindowBackgroundSet(intptr_t number, int32_t colour) {
  WindowRecord* record = WindowFind(number);
  if (!record) return;
  if (record->backgroundBrush) DeleteObject(record->backgroundBrush);
  record->backgroundBrush =
      colour == -1 ? nullptr : CreateSolidBrush(static_cast<COLORREF>(colour));
  InvalidateRect(record->handle, nullptr, TRUE);
}

void WindowEraseRoutineSet(intptr_t number, WindowEraseRoutine routine) {
  if (WindowRecord* record = WindowFind(number)) record->eraseRoutine = routine;
}

void WindowSizeLimitsSet(intptr_t number, uint16_t minWidth, uint16_t minHeight, uint16_t maxWidth,
                         uint16_t maxHeight) {
  WindowRecord* record = WindowFind(number);
  if (!record) return;
  record->minWidth = minWidth;
  record->minHeight = minHeight;
  record->maxWidth = maxWidth;
  record->maxHeight = maxHeight;
}

void WindowMdiClientSet(intptr_t number, HWND mdiClient) {
  if (WindowRecord* record = WindowFind(number)) record->mdiClient = mdiClient;
}

void WindowDropAccept(intptr_t number) {
  if (WindowRecord* record = WindowFind(number)) {
    SetPropA(record->handle, PropertyDropAccept, reinterpret_cast<HANDLE>(1));
  }
}

void WindowLayerStart() {
  WindowTable = ObjectTableCreate(sizeof(WindowRecord), 16, WindowClose);
  Events = static_cast<EventState*>(LibraryRecordCreate(sizeof(EventState), nullptr));
  classIcon = LoadIconA(ModuleInstance, MAKEINTRESOURCEA(1));
  classCursor = LoadCursorA(nullptr, IDC_ARROW);
  Sizing = static_cast<SizingState*>(LibraryRecordCreate(sizeof(SizingState), nullptr));
}

void WindowLayerEnd() {
  ObjectIterateStart(WindowTable);
  intptr_t number;
  while (ObjectIterateNext(WindowTable, &number)) WindowClose(number);
  EventDropDataFree();
}
