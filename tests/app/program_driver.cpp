#include "tests/app/program_driver.h"

#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr char kDialogClass[] = "InputRequester";
constexpr char kWindowClass[] = "WindowClass_0";
constexpr char kWeightTitle[] = "Waagenfuchs";
constexpr char kHeightTitle[] = "Waagefuchs";
constexpr char kChoiceTitle[] = "Waagenfuchs";
constexpr char kResultTitle[] = "Ergebnis";
constexpr int kDialogField = 10;   // control identifier of a dialog's text field
constexpr int kDialogOk = 1000;    // control identifier of a dialog's "OK" button
constexpr int kResultGadgets = 12;
constexpr int kAdviceGadget = 11;
constexpr int kPlainGadget = 10;  // the read-only field above the advice line, never coloured

// The program's process: started at construction, terminated at destruction if it still runs.
class ProgramProcess {
 public:
  explicit ProgramProcess(const char* path);
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return info_.hProcess != nullptr; }
  DWORD ThreadId() const { return info_.dwThreadId; }

  // Waits until done() holds. On the deadline, or when the program ends first, adds a failure
  // naming what was awaited and, when seen is set, what was there instead.
  bool Await(const std::function<bool()>& done, const std::string& what,
             const std::function<std::string()>& seen = nullptr);
  // The visible top-level window of the program with this class and title, waited for.
  HWND WindowAwait(const char* className, const char* title);
  // Waits for the program to end and takes its exit code.
  bool ExitAwait(DWORD* exitCode);

 private:
  bool Ended() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }

  PROCESS_INFORMATION info_ = {};  // handles owned here; both null when the start failed
  HANDLE job_ = nullptr;           // holds the program; closing it ends the program, or null
};

ProgramProcess::ProgramProcess(const char* path) {
  // Should the driver itself be killed (a test's timeout), the system closes the job with it,
  // and the job takes the program along.
  job_ = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job_ || !SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits)) {
    ADD_FAILURE() << "job object: error " << GetLastError();
    return;
  }
  std::string commandLine = std::string("\"") + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &info_)) {
    ADD_FAILURE() << "CreateProcessA " << path << ": error " << GetLastError();
    info_ = {};
    return;
  }
  if (!AssignProcessToJobObject(job_, info_.hProcess)) {
    ADD_FAILURE() << "AssignProcessToJobObject: error " << GetLastError();
  }
  ResumeThread(info_.hThread);
}

ProgramProcess::~ProgramProcess() {
  if (Started()) {
    if (!Ended()) {
      TerminateProcess(info_.hProcess, 1);
      WaitForSingleObject(info_.hProcess, kProgramDeadlineMs);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  if (job_) CloseHandle(job_);
}

bool ProgramProcess::Await(const std::function<bool()>& done, const std::string& what,
                           const std::function<std::string()>& seen) {
  // The end is taken before the state, so that a state reached just as the program ends (its
  // end, above all) still counts.
  bool ended = false;
  bool reached = false;
  PumpUntil(
      [&] {
        ended = Ended();
        reached = done();
        return reached || ended;
      },
      kProgramDeadlineMs);
  if (reached) return true;
  DWORD exitCode = 0;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  ADD_FAILURE() << "awaited " << what << "; "
                << (ended ? "the program ended with exit code " + std::to_string(exitCode)
                          : "still not so after " + std::to_string(kProgramDeadlineMs) + " ms")
                << (seen ? "; seen: " + seen() : "");
  return false;
}

// What EnumWindows looks for, and what it found.
struct WindowSearch {
  DWORD processId;        // owner of the wanted window
  const char* className;  // its class
  const char* title;      // its caption
  HWND found;             // the first visible match, or null
};

BOOL CALLBACK WindowSearchStep(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char className[64] = "";
  char title[64] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (processId == search->processId && IsWindowVisible(window) &&
      strcmp(className, search->className) == 0 && strcmp(title, search->title) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The EnumWindows visit that lists the visible windows of one process as class "title".
struct WindowList {
  DWORD processId;   // whose windows are listed
  std::string list;  // what was found so far
};

BOOL CALLBACK WindowListStep(HWND window, LPARAM context) {
  auto* shown = reinterpret_cast<WindowList*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == shown->processId && IsWindowVisible(window)) {
    char className[64] = "";
    char title[64] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    shown->list += std::string(shown->list.empty() ? "" : ", ") + className + " \"" + title + "\"";
  }
  return TRUE;
}

HWND ProgramProcess::WindowAwait(const char* className, const char* title) {
  WindowSearch search = {info_.dwProcessId, className, title, nullptr};
  Await(
      [&] {
        EnumWindows(WindowSearchStep, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      std::string("a visible window of class \"") + className + "\" titled \"" + title + "\"",
      [&] {
        WindowList shown = {info_.dwProcessId, ""};
        EnumWindows(WindowListStep, reinterpret_cast<LPARAM>(&shown));
        return shown.list.empty() ? "no visible window" : shown.list;
      });
  return search.found;
}

bool ProgramProcess::ExitAwait(DWORD* exitCode) {
  if (!Await([&] { return Ended(); }, "the program's end")) return false;
  GetExitCodeProcess(info_.hProcess, exitCode);
  return true;
}

// The focus, capture and menu state of a thread of any process; all zero when unreadable.
GUITHREADINFO GuiStateOf(DWORD threadId) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId, &info)) info = {};
  return info;
}

// Puts text on the clipboard as CF_TEXT, owned by owner; false, with a failure added, when the
// platform refuses.
bool ClipboardPut(HWND owner, const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  void* bytes = block ? GlobalLock(block) : nullptr;
  if (!bytes) {
    ADD_FAILURE() << "GlobalAlloc of " << text.size() + 1 << " bytes: error " << GetLastError();
    if (block) GlobalFree(block);
    return false;
  }
  memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!OpenClipboard(owner)) {
    ADD_FAILURE() << "OpenClipboard: error " << GetLastError();
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the block from here on, unless it refuses it.
  bool put = SetClipboardData(CF_TEXT, block) != nullptr;
  if (!put) {
    ADD_FAILURE() << "SetClipboardData: error " << GetLastError();
    // cppcheck-suppress doubleFree ; SetClipboardData takes the block only when it succeeds
    GlobalFree(block);
  }
  CloseClipboard();
  return put;
}

// A text shown in a failure message: long entries are cut, so that the message stays readable.
std::string Quoted(const std::string& text) {
  constexpr size_t kShown = 40;
  if (text.size() <= kShown) return "\"" + text + "\"";
  return "\"" + text.substr(0, kShown) + "...\" (" + std::to_string(text.size()) + " characters)";
}

// Enters text into the focused field, as a person does it fastest: typed, or pasted when it is
// long or holds a tab; then waits until the field shows it.
bool EntryGive(ProgramProcess& program, HWND field, const std::string& text) {
  bool pasted = text.size() > kTypedEntryMax || text.find('\t') != std::string::npos;
  // The clipboard needs an owner window; it stays until the program has taken the text.
  HWND owner = pasted ? TestWindowCreate(nullptr, 0, 0, 100, 100, WS_OVERLAPPEDWINDOW) : nullptr;
  bool given = true;
  if (pasted) {
    given = ClipboardPut(owner, text);
    if (given) KeyPressWith(VK_CONTROL, 'V');
  } else {
    TextType(text.c_str());
  }
  given = given && program.Await([&] { return WindowTextOf(field) == text; },
                                 "the entry " + Quoted(text) + " in the field",
                                 [&] { return Quoted(WindowTextOf(field)); });
  if (owner) DestroyWindow(owner);
  return given;
}

// Enters text into a dialog that is ready for it and confirms it with Enter; a null text cancels
// with Escape; with quit set, a quit request to the program's main thread ends the dialog instead.
// Returns once the dialog has gone.
bool DialogAnswer(ProgramProcess& program, const char* title, const char* text, bool quit,
                  ProgramStep step, const ProgramHook& hook) {
  HWND dialog = program.WindowAwait(kDialogClass, title);
  if (!dialog) return false;
  // Keys typed before the field has the focus would go to the dialog itself and be lost.
  if (!program.Await(
          [&] {
            return GetDlgItem(dialog, kDialogOk) && GetForegroundWindow() == dialog &&
                   GuiStateOf(program.ThreadId()).hwndFocus == GetDlgItem(dialog, kDialogField);
          },
          std::string("dialog \"") + title + "\" in the foreground, its text field focused")) {
    return false;
  }
  if (text && !EntryGive(program, GetDlgItem(dialog, kDialogField), text)) return false;
  if (hook) hook(step, dialog);
  if (!quit) {
    KeyPress(text ? VK_RETURN : VK_ESCAPE);
  } else if (!PostThreadMessageA(program.ThreadId(), WM_QUIT, kQuitExitCode, 0)) {
    ADD_FAILURE() << "PostThreadMessageA WM_QUIT: error " << GetLastError();
    return false;
  }
  return program.Await([&] { return !IsWindow(dialog); },
                       std::string("dialog \"") + title + "\" to close");
}

bool OptionChoose(ProgramProcess& program, int option, const ProgramHook& hook) {
  HWND choice = program.WindowAwait(kWindowClass, kChoiceTitle);
  if (!choice) return false;
  // A click that arrives while the new window is still being activated can lose its button-up
  // to the activation; a person, too, clicks what is shown and drawn.
  if (!program.Await(
          [&] {
            return GetDlgItem(choice, 0) && GetDlgItem(choice, 1) &&
                   GetForegroundWindow() == choice;
          },
          "both options in the choice window, in the foreground") ||
      !WindowPaintedAwait(choice)) {
    return false;
  }
  if (hook) hook(ProgramStep::ChoiceShown, choice);
  // The options are wider than the window: aim at the middle of the part that shows.
  HWND button = GetDlgItem(choice, option);
  RECT shown;
  RECT client = ClientRectOnScreen(choice);
  GetWindowRect(button, &shown);
  IntersectRect(&shown, &shown, &client);
  LONG x = (shown.left + shown.right) / 2;
  LONG y = (shown.top + shown.bottom) / 2;
  // Input reaches the program in order, after the messages posted to it before: once the option
  // has taken the press (it captures the mouse), the program has taken all that came before, and
  // its choice still waits. The capture, unlike the pushed look, stays should a late pointer
  // move from the display carry the cursor off the option before the release brings it back.
  // Now and then, with the processors busy, the option still loses the press before the release
  // comes (its capture and its pushed look go) and stays unchecked: no click was made, and a
  // person would click again. So does this, up to three times: when the option has let go of
  // the capture and is still unchecked seconds later (a click it takes checks it at once).
  auto taken = [&] { return !IsWindow(choice) || SendMessageA(button, BM_GETCHECK, 0, 0) != 0; };
  for (int attempt = 1;; ++attempt) {
    MouseDown(x, y);
    bool pressed =
        program.Await([&] { return GuiStateOf(program.ThreadId()).hwndCapture == button; },
                      "the option in the choice window to take the press");
    MouseUp(x, y);
    if (!pressed) return false;
    PumpUntil([&] { return GuiStateOf(program.ThreadId()).hwndCapture != button; },
              kProgramDeadlineMs);
    if (attempt == 3 || PumpUntil(taken, 3000)) break;
  }
  return program.Await([&] { return !IsWindow(choice); }, "the choice window to close", [&] {
    POINT at = {};
    GetCursorPos(&at);
    return "button state " + std::to_string(SendMessageA(button, BM_GETSTATE, 0, 0)) +
           ", cursor at " + std::to_string(at.x) + "," + std::to_string(at.y) +
           ", released at " + std::to_string(x) + "," + std::to_string(y);
  });
}

// The colour that most pixels of rect show on the screen. In a text field that is its
// background: the longest advice fills the field from edge to edge, but no glyph covers more
// than a small part of it.
COLORREF ScreenColourOf(const RECT& rect) {
  std::map<COLORREF, int> counts;
  for (COLORREF pixel : ScreenPixels(rect)) ++counts[pixel];
  COLORREF most = CLR_INVALID;
  int mostCount = 0;
  for (const auto& [colour, count] : counts) {
    if (count > mostCount) {
      most = colour;
      mostCount = count;
    }
  }
  return most;
}

bool ResultRead(ProgramProcess& program, HWND result, ResultSeen* seen) {
  HWND advice = nullptr;
  bool filled = program.Await(
      [&] {
        for (int gadget = 0; gadget < kResultGadgets; ++gadget) {
          if (!GetDlgItem(result, gadget)) return false;
        }
        advice = GetDlgItem(result, kAdviceGadget);
        return !WindowTextOf(advice).empty();
      },
      "all twelve gadgets in the result window, the advice filled");
  if (!filled || !WindowPaintedAwait(result)) return false;
  for (int gadget = 0; gadget < kResultGadgets; ++gadget) {
    seen->texts[gadget] = WindowTextOf(GetDlgItem(result, gadget));
  }
  RECT outer;
  GetWindowRect(result, &outer);
  RECT client;
  GetClientRect(result, &client);
  seen->position = {outer.left, outer.top};
  seen->client = {client.right, client.bottom};
  // The program has handed its drawing to the X server by now, yet under load a copy of the
  // screen made right away still showed the window's background where the field was green, and
  // one made a few milliseconds later the green: the X server serves its clients in its own
  // order. A copy made after another copy has come back shows the drawing, so the colour is the
  // one two copies in a row agree on. With several programs drawing at once, two copies could
  // still both come before the drawing: then the line shows the plain background of a read-only
  // field, as the one above it does, which no advice colour is.
  RECT field = ClientRectOnScreen(advice);
  RECT plain = ClientRectOnScreen(GetDlgItem(result, kPlainGadget));
  COLORREF last = ScreenColourOf(field);
  return program.Await(
      [&] {
        seen->adviceColour = ScreenColourOf(field);
        bool agreed = seen->adviceColour == last && seen->adviceColour != ScreenColourOf(plain);
        last = seen->adviceColour;
        return agreed;
      },
      "two copies of the screen to agree on the advice line's colour, not the plain field's");
}

// How many presses of Up take an opened system menu of a window with this style round to its
// Close item. Close is the last item on Windows; Wine puts "About Wine" after it. A window of the
// same style in this process has the same system menu, whatever language it speaks, so the count
// is taken there.
int SystemMenuUpsToClose(DWORD style) {
  HWND probe = TestWindowCreate(nullptr, 0, 0, 100, 100, style & ~WS_VISIBLE);
  HMENU menu = GetSystemMenu(probe, FALSE);
  int ups = 1;
  for (int item = GetMenuItemCount(menu) - 1; item >= 0; --item) {
    if (GetMenuItemID(menu, item) == SC_CLOSE) break;
    if (!(GetMenuState(menu, item, MF_BYPOSITION) & MF_SEPARATOR)) ++ups;
  }
  DestroyWindow(probe);
  return ups;
}

// Closes the result window as a keyboard user does: Alt+Space opens the system menu, Up goes
// round to Close and Enter picks it.
bool ResultClose(ProgramProcess& program, HWND result) {
  int ups = SystemMenuUpsToClose(static_cast<DWORD>(GetWindowLongPtrA(result, GWL_STYLE)));
  if (!program.Await([&] { return GetForegroundWindow() == result; },
                     "the result window in the foreground")) {
    return false;
  }
  KeyPressWith(VK_MENU, VK_SPACE);
  constexpr DWORD kInMenu = GUI_INMENUMODE | GUI_POPUPMENUMODE;
  if (!program.Await([&] { return (GuiStateOf(program.ThreadId()).flags & kInMenu) != 0; },
                     "the system menu to open")) {
    return false;
  }
  for (int up = 0; up < ups; ++up) KeyPress(VK_UP);
  KeyPress(VK_RETURN);
  return true;
}

// Whether window, or any of its children, still has something to paint.
BOOL CALLBACK UpdatePendingStep(HWND window, LPARAM pending) {
  if (GetUpdateRect(window, nullptr, FALSE)) *reinterpret_cast<bool*>(pending) = true;
  return TRUE;
}

bool UpdatePending(HWND window) {
  bool pending = GetUpdateRect(window, nullptr, FALSE) != FALSE;
  EnumChildWindows(window, UpdatePendingStep, reinterpret_cast<LPARAM>(&pending));
  return pending;
}

}  // namespace

std::vector<COLORREF> ScreenPixels(const RECT& rect) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<COLORREF> pixels;
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
      GdiFlush();
      // A 32-bit DIB holds each pixel as 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
      const DWORD* dib = static_cast<const DWORD*>(bits);
      for (int i = 0; i < width * height; ++i) {
        pixels.push_back(RGB((dib[i] >> 16) & 0xFF, (dib[i] >> 8) & 0xFF, dib[i] & 0xFF));
      }
    }
    SelectObject(memory, old);
  }
  if (pixels.empty()) ADD_FAILURE() << "could not copy the screen, error " << GetLastError();
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::string WindowTextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kProgramDeadlineMs,
                           &length)) {
    return "";
  }
  std::vector<char> text(length + 1);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kProgramDeadlineMs, &copied)) {
    return "";
  }
  return std::string(text.data(), copied);
}

bool WindowPaintedAwait(HWND window) {
  if (!PumpUntil([&] { return !UpdatePending(window); }, kProgramDeadlineMs)) {
    ADD_FAILURE() << "the window still had parts to paint after " << kProgramDeadlineMs << " ms";
    return false;
  }
  // A window's update region empties when its painting begins; the thread answers a sent
  // message only once that painting has returned to the loop. What it painted goes to the X
  // server only when the thread next waits for messages (Wine flushes a thread's window
  // surfaces before it waits), and an idle thread takes a second message in that wait.
  for (int answer = 0; answer < 2; ++answer) {
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kProgramDeadlineMs,
                             &ignored)) {
      return false;
    }
  }
  return true;
}

bool ProgramPlay(const char* path, const UserPlay& play, const ProgramHook& hook,
                 ResultSeen* seen) {
  *seen = {};
  ProgramProcess program(path);
  if (!program.Started()) return false;
  bool heightAsked = play.quit != QuitPost::InWeightDialog;
  if (!DialogAnswer(program, kWeightTitle, play.weight, play.quit == QuitPost::InWeightDialog,
                    ProgramStep::WeightTyped, hook) ||
      (heightAsked && !DialogAnswer(program, kHeightTitle, play.height,
                                    play.quit == QuitPost::InHeightDialog,
                                    ProgramStep::HeightTyped, hook)) ||
      !OptionChoose(program, play.option, hook)) {
    return false;
  }
  HWND result = program.WindowAwait(kWindowClass, kResultTitle);
  if (!result || !ResultRead(program, result, seen)) return false;
  if (hook) hook(ProgramStep::ResultShown, result);
  return ResultClose(program, result) && program.ExitAwait(&seen->exitCode);
}
