// Drives the real program as a person does: starts waagenfuchs.exe, answers its two dialogs with
// real key presses (or a paste, for what nobody types), clicks an option of the choice window with
// the real mouse, reads the result window back, closes it through its system menu and takes the
// exit code.
//
// The driver is a process of its own beside the program, on the same display. It finds the
// program's windows among the top-level windows of the program's process by class and title, and
// waits for every state it needs with a deadline. A step that cannot be done adds a GoogleTest
// failure that says what was awaited and what was seen, and the run stops there. The program is
// terminated when the run ends while it still runs, so no failure leaves a process behind.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// How long the driver waits for any one state of the program. Generous: the first Wine process
// of a session and a busy build machine can each take seconds (4.2 s at most with both cores
// busy, for the paste of 30,000 characters). A third of a row's CTest limit, like kGuiDeadlineMs.
constexpr DWORD kProgramDeadlineMs = 20000;

// The moments at which a run hands the window concerned to the caller's hook.
enum class ProgramStep {
  WeightTyped,  // the weight dialog shows the entry; Enter, Escape or the quit request follows
  HeightTyped,  // the same for the height dialog
  ChoiceShown,  // the choice window shows both options and waits; the click follows
  ResultShown,  // the result window is filled and painted; its close follows
};

// Runs at each step with the window of that step. It may check, move or photograph the window;
// the run goes on from the state the hook leaves.
using ProgramHook = std::function<void(ProgramStep step, HWND window)>;

// An entry longer than this, or one holding a tab (no key puts a tab into a one-line field), is
// pasted: put on the clipboard and inserted with Ctrl+V. Shorter ones are typed key by key.
constexpr size_t kTypedEntryMax = 100;

// The exit code a quit request carries. The program is to end with 0 all the same.
constexpr WPARAM kQuitExitCode = 3;

// Whether, and in which dialog, a quit request (WM_QUIT posted to the program's main thread, which
// runs the dialog's loop) takes the place of Enter or Escape. The program is expected to cancel
// that dialog and to keep the request for its own later loops: one posted in the weight dialog
// therefore cancels the height dialog too, before anyone can answer it, and the driver goes on
// to the choice window without waiting for the height dialog.
enum class QuitPost {
  Never,
  InWeightDialog,
  InHeightDialog,
};

// What the user does.
struct UserPlay {
  const char* weight;  // entered into the weight dialog, then Enter; null: Escape, nothing entered
  const char* height;  // the same for the height dialog
  int option;          // gadget clicked in the choice window: 0 "m\xE4nlich", 1 "weiblich"
  QuitPost quit = QuitPost::Never;  // the dialog in which a quit request replaces Enter/Escape
};

// The result window as the user saw it, and how the program ended.
struct ResultSeen {
  std::string texts[12];  // text of each gadget, by gadget number; Latin-1 as the program holds it
  COLORREF adviceColour;  // the colour most of gadget 11's client area shows on the screen
  POINT position;         // outer top-left corner on the screen
  SIZE client;            // size of the client area
  DWORD exitCode;         // the program's exit code after the close
};

// Plays play through one whole run of the program at path: both dialogs, the choice, the result
// window and its close through the system menu, then waits for the program's end. hook, when set,
// runs at each ProgramStep. The click on the option is a press held until the option has taken
// it, then the release: the program has then taken every input and posted message that came
// before the press. Returns false, with a test failure added, when a step could not be done or
// the program did not end; seen then holds what was read before that.
bool ProgramPlay(const char* path, const UserPlay& play, const ProgramHook& hook,
                 ResultSeen* seen);

// The screen under rect (screen coordinates), row by row from the top, as colours 0x00BBGGRR.
// Empty, with a test failure added, when the screen cannot be copied.
std::vector<COLORREF> ScreenPixels(const RECT& rect);

// The text of a window of any process (WM_GETTEXT: GetWindowTextA reads only the captions of
// other processes' windows, not the text of their controls). Empty when the window does not answer.
std::string WindowTextOf(HWND window);

// Waits until window and all its children have nothing left to paint and the owning thread has
// come back to its message loop after painting and waited there, so that it has handed what it
// painted to the X server; false on the deadline.
bool WindowPaintedAwait(HWND window);
