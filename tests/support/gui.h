// Driving real windows on the test display: plain test windows, real input through SendInput,
// deadline-bound waiting, and a record of the messages a window received.
//
// Everything runs on the test's thread, which owns the windows it makes. Input goes to whatever
// window is in the foreground, so GUI tests never run in parallel (CTest's "display" lock).
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// How long any wait for the platform may take before a test gives up. Not a bound on a slow
// machine's run, which is CTest's limit alone (tests/CMakeLists.txt): with both cores busy no
// such wait took more than 0.3 s. A third of a case's limit, so that a state that never comes is
// still named before CTest ends the case.
constexpr DWORD kGuiDeadlineMs = 20000;

// A top-level window of the test class "GuiTestWindow" with the given client size at the outer
// position x, y. Its messages go to proc, or to DefWindowProcA when proc is null. The window is
// shown and brought to the foreground unless the style lacks WS_VISIBLE. The caller destroys it.
HWND TestWindowCreate(WNDPROC proc, int x, int y, int width, int height,
                      DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE);

// A child control of parent (class "Button", "Edit", "Static", ...) at client position x, y.
HWND TestControlCreate(HWND parent, const char* className, const char* text, DWORD style, int x,
                       int y, int width, int height, int id = 0);

// Makes window the foreground window and waits until the platform says it is.
bool ForegroundMake(HWND window);

// Dispatches this thread's messages until done() holds or the deadline passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kGuiDeadlineMs);

// Dispatches whatever arrives for ms milliseconds; for letting the queue settle, never as proof.
void PumpFor(DWORD ms);

// Real input, as a user gives it. Each call sends its events in one SendInput call and fails the
// test when the platform takes fewer than sent.
void InputSend(std::vector<INPUT> inputs);
INPUT KeyInput(WORD virtualKey, DWORD flags);
void KeyPress(WORD virtualKey);
// The key pressed while modifier (VK_SHIFT, VK_CONTROL, VK_MENU) is held.
void KeyPressWith(WORD modifier, WORD virtualKey);
// Types Latin-1 text as characters, independent of the keyboard layout.
void TextType(const char* text);

// Mouse events at absolute screen coordinates. Every event carries its point: a late pointer
// event from the display can otherwise move the cursor between a move and a press.
INPUT MouseInput(LONG x, LONG y, DWORD flags);
void MouseMove(LONG x, LONG y);
void MouseDown(LONG x, LONG y);
void MouseUp(LONG x, LONG y);
void MouseClickAt(LONG x, LONG y);
// A left click in the middle of window's rectangle.
void MouseClickOn(HWND window);

// Records the messages a window receives, by subclassing it for the log's lifetime. One log per
// window at a time; the window must outlive the log or be destroyed while it runs (the log then
// stops recording).
class MessageLog {
 public:
  explicit MessageLog(HWND window) : MessageLog(window, nullptr) {}
  // Records into trail, which several logs may share to see the order across windows.
  MessageLog(HWND window, std::vector<MSG>* trail);
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  // Every message received so far, in order; window, message, wParam and lParam are filled.
  const std::vector<MSG>& Messages() const { return *messages_; }
  // The message numbers of the messages received so far, in order, limited to those listed
  // (all when the list is empty).
  std::vector<UINT> Numbers(const std::vector<UINT>& only = {}) const;
  size_t Count(UINT message) const;
  void Clear() { messages_->clear(); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_;
  WNDPROC oldProc_;
  std::vector<MSG> own_;
  std::vector<MSG>* messages_;
};

// The client rectangle of window in screen coordinates.
RECT ClientRectOnScreen(HWND window);
// window's rectangle in the client coordinates of its parent.
RECT RectInParent(HWND window);

// Gadget layer additions: what a window holds and shows.
//
// The direct children of parent, in z-order (the order they were made in, unless moved).
std::vector<HWND> ChildWindows(HWND parent);
// The colour of one pixel at client position x, y of window as it is on the display.
COLORREF ClientPixel(HWND window, int x, int y);

// Rectangles, points and the cursor, for the window layer's tests. GoogleTest compares and prints
// RECT and POINT values by their coordinates.
bool operator==(const RECT& a, const RECT& b);
bool operator==(const POINT& a, const POINT& b);
void PrintTo(const RECT& rect, std::ostream* out);
void PrintTo(const POINT& point, std::ostream* out);
// window's rectangle in screen coordinates.
RECT WindowRectOf(HWND window);
POINT CursorPosition();

// Under Wine's virtual desktop, a cursor move (SetCursorPos, or SendInput with absolute
// coordinates) that starts while the pointer lies inside one of the program's windows is followed
// by a late mouse move back to the starting point, sent by the desktop process. A test that
// watches every mouse move therefore keeps the pointer outside its windows' shapes (SetWindowRgn)
// whenever the cursor moves, and puts the cursor in place with CursorPlace: it places it a second
// time after such a late move, which then starts outside, and fails the test when the cursor
// does not stay at x, y.
void CursorPlace(LONG x, LONG y);

// The program a test drives or reads: at buildPath, the path the build gave as the build machine
// spells it (Wine resolves that rooted path on the drive of the current directory, which is the
// build machine's root), or, where nothing lies there (the test kit on another machine), the file
// of that name beside the running test program.
std::string ProgramUnderTest(const char* buildPath);

// Soak additions: what a long run must give back, counted rather than timed.
//
// What the program's own code holds on the watched heaps, and the GDI and USER objects the
// platform counts for the process. The heap bytes are counted at the calls themselves: the first
// HeapsWatch points the program's import slots of HeapAlloc, HeapReAlloc and HeapFree at
// counting wrappers, and each watched heap's figure is the bytes (HeapSize) allocated less those
// freed since HeapsWatch named it. A heap walk would also see what the allocator keeps for itself
// (a low-fragmentation front end's bins, which hold many small blocks as one) and is blind inside
// them. Wine counts no GDI or USER objects (both read 0), so a soak test also checks that the
// handles it expects gone are gone (GetObjectType, IsWindow).
struct ProcessHoldings {
  std::vector<intptr_t> heapBytes;  // bytes counted on each heap, in the order the heaps were given
  DWORD gdiObjects;                 // GetGuiResources GR_GDIOBJECTS
  DWORD userObjects;                // GetGuiResources GR_USEROBJECTS
};
// Watches these heaps (at most four, by handle) from now on, each from 0, and no other: calls on
// any other heap are not counted. A null heap, one named twice or one too many fails the test.
void HeapsWatch(const std::vector<HANDLE>& heaps);
// The figures of watched heaps; a heap that is not watched fails the test and reads 0.
ProcessHoldings ProcessHoldingsOf(const std::vector<HANDLE>& heaps);
void PrintTo(const ProcessHoldings& holdings, std::ostream* out);

// Watches heaps (HeapsWatch), runs cycle(0), cycle(1), ... and fails the test when the cycles
// keep what they take. The platform may take a step of its own once (a cache made at first use, a
// GDI object kept for the process), while a leak grows in every stretch of cycles. So after warmUp cycles the cycles run in
// two equal halves of half each, and heap bytes, GDI or USER objects that grew in both halves fail
// the test. The cycles stop at the first fatal failure.
void CyclesGiveBack(const std::vector<HANDLE>& heaps, int warmUp, int half,
                    const std::function<void(int)>& cycle);
// Whether a window class of that name is registered for the program's module.
bool WindowClassRegistered(const char* name);

// Full-window dragging (the user's "show window contents while dragging") set to on for the
// object's lifetime, and the user's setting put back after it. Wine's fresh prefix has it off.
class FullWindowDragging {
 public:
  explicit FullWindowDragging(BOOL on = TRUE);
  ~FullWindowDragging();
  FullWindowDragging(const FullWindowDragging&) = delete;
  FullWindowDragging& operator=(const FullWindowDragging&) = delete;
  void Set(BOOL on);

 private:
  BOOL saved_ = FALSE;
};
