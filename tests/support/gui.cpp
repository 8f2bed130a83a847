#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr char kTestWindowClass[] = "GuiTestWindow";
constexpr char kLogProperty[] = "GuiMessageLog";

// The class procedure: the window's own procedure rides in its user data, set right after
// creation; messages before that go to the default procedure.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (proc) return CallWindowProcA(proc, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

void TestClassRegister() {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  if (GetClassInfoExA(GetModuleHandleA(nullptr), kTestWindowClass, &info)) return;
  info.lpfnWndProc = TestWindowProc;
  info.hInstance = GetModuleHandleA(nullptr);
  info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  info.lpszClassName = kTestWindowClass;
  EXPECT_TRUE(RegisterClassExA(&info)) << "error " << GetLastError();
}

}  // namespace

HWND TestWindowCreate(WNDPROC proc, int x, int y, int width, int height, DWORD style) {
  TestClassRegister();
  RECT outer = {0, 0, width, height};
  AdjustWindowRect(&outer, style & ~WS_VISIBLE, FALSE);
  HWND window = CreateWindowExA(0, kTestWindowClass, "Test", style & ~WS_VISIBLE, x, y,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  EXPECT_NE(window, nullptr) << "error " << GetLastError();
  if (!window) return nullptr;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(proc));
  if (style & WS_VISIBLE) {
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_TRUE(ForegroundMake(window));
  }
  return window;
}

HWND TestControlCreate(HWND parent, const char* className, const char* text, DWORD style, int x,
                       int y, int width, int height, int id) {
  HWND control = CreateWindowExA(0, className, text, style | WS_CHILD, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  EXPECT_NE(control, nullptr) << className << ", error " << GetLastError();
  return control;
}

bool ForegroundMake(HWND window) {
  SetForegroundWindow(window);
  return PumpUntil([&] { return GetForegroundWindow() == window; });
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10,
                              QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

void InputSend(std::vector<INPUT> inputs) {
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  EXPECT_EQ(sent, inputs.size()) << "SendInput, error " << GetLastError();
}

INPUT KeyInput(WORD virtualKey, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = flags;
  return input;
}

void KeyPress(WORD virtualKey) {
  InputSend({KeyInput(virtualKey, 0), KeyInput(virtualKey, KEYEVENTF_KEYUP)});
}

void KeyPressWith(WORD modifier, WORD virtualKey) {
  InputSend({KeyInput(modifier, 0), KeyInput(virtualKey, 0), KeyInput(virtualKey, KEYEVENTF_KEYUP),
             KeyInput(modifier, KEYEVENTF_KEYUP)});
}

// Each byte of Latin-1 is the Unicode code point of the same number.
void TextType(const char* text) {
  std::vector<INPUT> inputs;
  for (const char* c = text; *c; ++c) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<unsigned char>(*c);
    input.ki.dwFlags = KEYEVENTF_UNICODE;
    inputs.push_back(input);
    input.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  if (!inputs.empty()) InputSend(inputs);
}

INPUT MouseInput(LONG x, LONG y, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return input;
}

void MouseMove(LONG x, LONG y) { InputSend({MouseInput(x, y, 0)}); }
void MouseDown(LONG x, LONG y) { InputSend({MouseInput(x, y, MOUSEEVENTF_LEFTDOWN)}); }
void MouseUp(LONG x, LONG y) { InputSend({MouseInput(x, y, MOUSEEVENTF_LEFTUP)}); }

void MouseClickAt(LONG x, LONG y) {
  InputSend({MouseInput(x, y, MOUSEEVENTF_LEFTDOWN), MouseInput(x, y, MOUSEEVENTF_LEFTUP)});
}

void MouseClickOn(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MouseClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

MessageLog::MessageLog(HWND window, std::vector<MSG>* trail)
    : window_(window), messages_(trail ? trail : &own_) {
  SetPropA(window, kLogProperty, this);
  oldProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure)));
}

MessageLog::~MessageLog() {
  if (!IsWindow(window_) || GetPropA(window_, kLogProperty) != this) return;
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
  RemovePropA(window_, kLogProperty);
}

LRESULT CALLBACK MessageLog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* log = static_cast<MessageLog*>(GetPropA(window, kLogProperty));
  if (!log) return DefWindowProcA(window, message, wParam, lParam);
  MSG entry = {};
  entry.hwnd = window;
  entry.message = message;
  entry.wParam = wParam;
  entry.lParam = lParam;
  log->messages_->push_back(entry);
  WNDPROC oldProc = log->oldProc_;
  if (message == WM_NCDESTROY) {
    // The window goes: give it its procedure back so the log's destructor has nothing to undo.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
    RemovePropA(window, kLogProperty);
  }
  return CallWindowProcA(oldProc, window, message, wParam, lParam);
}

std::vector<UINT> MessageLog::Numbers(const std::vector<UINT>& only) const {
  std::vector<UINT> numbers;
  for (const MSG& m : *messages_) {
    bool wanted = only.empty();
    for (UINT o : only) wanted = wanted || o == m.message;
    if (wanted) numbers.push_back(m.message);
  }
  return numbers;
}

size_t MessageLog::Count(UINT message) const {
  size_t count = 0;
  for (const MSG& m : *messages_) count += m.message == message;
  return count;
}

RECT ClientRectOnScreen(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT RectInParent(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

COLORREF ClientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF pixel = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return pixel;
}

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

void PrintTo(const RECT& rect, std::ostream* out) {
  *out << "{" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << "}";
}

void PrintTo(const POINT& point, std::ostream* out) {
  *out << "{" << point.x << ", " << point.y << "}";
}

RECT WindowRectOf(HWND window) {
  RECT r = {};
  EXPECT_TRUE(GetWindowRect(window, &r)) << "error " << GetLastError();
  return r;
}

POINT CursorPosition() {
  POINT p = {};
  EXPECT_TRUE(GetCursorPos(&p)) << "error " << GetLastError();
  return p;
}

void CursorPlace(LONG x, LONG y) {
  SetCursorPos(x, y);
  PumpFor(100);
  SetCursorPos(x, y);
  EXPECT_TRUE(PumpUntil([&] { return CursorPosition() == POINT{x, y}; }))
      << "cursor at " << testing::PrintToString(CursorPosition());
}

std::string ProgramUnderTest(const char* buildPath) {
  if (GetFileAttributesA(buildPath) != INVALID_FILE_ATTRIBUTES) return buildPath;
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string folder(self, length < sizeof self ? length : 0);
  folder.erase(folder.find_last_of('\\') + 1);
  std::string path(buildPath);
  return folder + path.substr(path.find_last_of("/\\") + 1);
}

namespace {

// The bytes the program's code holds on each watched heap since counting began. The heaps are
// named up front by handle (HeapsWatch: the runtime's three); a call on any other heap (the
// process heap, or one that a test makes for a moment) is left uncounted on purpose. A heap that
// finds no slot, or a figure asked for a heap that is not watched, fails the test: either would
// otherwise read 0 for ever and its check could never fail.
struct HeapTally {
  HANDLE heap;     // the watched heap
  intptr_t bytes;  // allocated less freed since it was registered
};
HeapTally HeapTallies[4];
size_t HeapsWatched;

intptr_t* TallyOf(const void* heap) {
  for (size_t i = 0; i < HeapsWatched; ++i) {
    if (HeapTallies[i].heap == heap) return &HeapTallies[i].bytes;
  }
  return nullptr;
}

void Tally(HANDLE heap, intptr_t bytes) {
  if (intptr_t* tally = TallyOf(heap)) *tally += bytes;
}

// The size of a block of a watched heap; HeapSize failing there is a miscount, not a zero.
intptr_t BlockSize(HANDLE heap, LPCVOID block) {
  if (!block || !TallyOf(heap)) return 0;
  SIZE_T size = HeapSize(heap, 0, block);
  if (size == static_cast<SIZE_T>(-1)) {
    ADD_FAILURE() << "HeapSize failed on a block of watched heap " << heap;
    return 0;
  }
  return static_cast<intptr_t>(size);
}

decltype(&HeapAlloc) PlatformHeapAlloc;
decltype(&HeapReAlloc) PlatformHeapReAlloc;
decltype(&HeapFree) PlatformHeapFree;

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  LPVOID block = PlatformHeapAlloc(heap, flags, size);
  Tally(heap, BlockSize(heap, block));
  return block;
}

LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  intptr_t before = BlockSize(heap, block);
  LPVOID moved = PlatformHeapReAlloc(heap, flags, block, size);
  if (moved) Tally(heap, BlockSize(heap, moved) - before);
  return moved;
}

BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  intptr_t size = BlockSize(heap, block);
  BOOL freed = PlatformHeapFree(heap, flags, block);
  if (freed) Tally(heap, -size);
  return freed;
}

// Points the program's import slots of the three heap calls at the counting wrappers, once. The
// runtime is linked into the program, so every heap call of its code goes through these slots.
void HeapCallsCount() {
  static bool counting = false;
  if (counting) return;
  counting = true;
  struct Wrapper {
    const char* name;      // the kernel32 export
    void* counted;         // the wrapper that takes its place
    ULONG_PTR* platform;   // where the platform's function is kept
  };
  const Wrapper wrappers[] = {
      {"HeapAlloc", reinterpret_cast<void*>(CountedHeapAlloc),
       reinterpret_cast<ULONG_PTR*>(&PlatformHeapAlloc)},
      {"HeapReAlloc", reinterpret_cast<void*>(CountedHeapReAlloc),
       reinterpret_cast<ULONG_PTR*>(&PlatformHeapReAlloc)},
      {"HeapFree", reinterpret_cast<void*>(CountedHeapFree),
       reinterpret_cast<ULONG_PTR*>(&PlatformHeapFree)},
  };
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int replaced = 0;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       dll->Name; ++dll) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + dll->Name), "kernel32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name =
          reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      for (const Wrapper& wrapper : wrappers) {
        if (strcmp(name, wrapper.name) != 0) continue;
        DWORD protection;
        if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                            &protection)) {
          ADD_FAILURE() << "VirtualProtect of the " << name << " slot, error " << GetLastError();
          continue;
        }
        *wrapper.platform = slots->u1.Function;
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(wrapper.counted);
        DWORD written;
        EXPECT_TRUE(VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection,
                                   &written))
            << "error " << GetLastError();
        ++replaced;
      }
    }
  }
  EXPECT_EQ(replaced, 3) << "heap calls found in the program's imports";
}

}  // namespace

void HeapsWatch(const std::vector<HANDLE>& heaps) {
  HeapsWatched = 0;
  for (HANDLE heap : heaps) {
    if (HeapsWatched == sizeof HeapTallies / sizeof HeapTallies[0]) {
      ADD_FAILURE() << "no slot left to watch heap " << heap;
      break;
    }
    if (!heap || TallyOf(heap)) {
      ADD_FAILURE() << "heap " << heap << " is null or named twice";
      continue;
    }
    HeapTallies[HeapsWatched++] = {heap, 0};
  }
  HeapCallsCount();
}

ProcessHoldings ProcessHoldingsOf(const std::vector<HANDLE>& heaps) {
  ProcessHoldings holdings = {};
  for (HANDLE heap : heaps) {
    intptr_t* tally = TallyOf(heap);
    if (!tally) ADD_FAILURE() << "heap " << heap << " is not watched";
    holdings.heapBytes.push_back(tally ? *tally : 0);
  }
  holdings.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  holdings.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  return holdings;
}

void PrintTo(const ProcessHoldings& holdings, std::ostream* out) {
  *out << "{heap bytes";
  for (intptr_t bytes : holdings.heapBytes) *out << " " << bytes;
  *out << ", GDI " << holdings.gdiObjects << ", USER " << holdings.userObjects << "}";
}

void CyclesGiveBack(const std::vector<HANDLE>& heaps, int warmUp, int half,
                    const std::function<void(int)>& cycle) {
  HeapsWatch(heaps);
  int next = 0;
  auto run = [&](int count) {
    for (int end = next + count; next < end && !testing::Test::HasFatalFailure(); ++next) {
      cycle(next);
    }
    return ProcessHoldingsOf(heaps);
  };
  const ProcessHoldings start = run(warmUp);
  const ProcessHoldings middle = run(half);
  const ProcessHoldings end = run(half);
  if (testing::Test::HasFatalFailure()) return;
  auto grewTwice = [](intptr_t a, intptr_t b, intptr_t c) { return b > a && c > b; };
  std::string seen = "after the warm-up and each half: " + testing::PrintToString(start) + ", " +
                     testing::PrintToString(middle) + ", " + testing::PrintToString(end);
  for (size_t i = 0; i < heaps.size(); ++i) {
    EXPECT_FALSE(grewTwice(start.heapBytes[i], middle.heapBytes[i], end.heapBytes[i]))
        << "heap " << i << " grew in both halves, " << seen;
  }
  EXPECT_FALSE(grewTwice(start.gdiObjects, middle.gdiObjects, end.gdiObjects)) << seen;
  EXPECT_FALSE(grewTwice(start.userObjects, middle.userObjects, end.userObjects)) << seen;
}

bool WindowClassRegistered(const char* name) {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  return GetClassInfoExA(GetModuleHandleA(nullptr), name, &info) != 0;
}

FullWindowDragging::FullWindowDragging(BOOL on) {
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &saved_, 0))
      << "error " << GetLastError();
  Set(on);
}

FullWindowDragging::~FullWindowDragging() {
  Set(saved_);
}

void FullWindowDragging::Set(BOOL on) {
  EXPECT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0))
      << "error " << GetLastError();
}
