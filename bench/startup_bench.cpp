// Start-up time: from CreateProcess to the first dialog on screen, for the program and for three
// builds of the minimal dialog program (bench/minimal_dialog.cpp): bare, with the program's
// manifest, and with the manifest and the program's platform start. They are started in turn.
// Run (under Wine, from build/i686):
//   ../../scripts/wine-run bench/startup_bench.exe waagenfuchs.exe bench/minimal_dialog.exe
//     bench/minimal_dialog_manifest.exe bench/minimal_dialog_setup.exe [rounds]
//
// The dialog counts as on screen once its window is visible with all three of its controls: the
// program makes its dialog visible before it creates the controls, the minimal one after.
// The driver looks every millisecond rather than in a busy loop: on a two-core machine a busy
// loop takes a core and the wineserver's time from the program it measures, and made every start
// slower and noisier; Sleep(1) lasts about 1.1 ms under Wine.
#include "bench/bench_support.h"

#include <cstdlib>

namespace {

constexpr int kWarmUpRounds = 2;  // not counted: the first starts fill the file cache
constexpr double kDeadline = 30;  // seconds for one start; more means the program hangs
constexpr int kControls = 3;      // label, edit field and OK button

struct Program {
  BenchSide side;
  const char* path;         // as CreateProcessA takes it
  const char* windowClass;  // class of the first dialog
};

// The process's top-level window of the class, when it and its controls are visible.
bool DialogShown(const char* windowClass, DWORD process) {
  for (HWND dialog = FindWindowExA(nullptr, nullptr, windowClass, nullptr); dialog;
       dialog = FindWindowExA(nullptr, dialog, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    if (owner != process || !IsWindowVisible(dialog)) continue;
    int visible = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (IsWindowVisible(child)) ++visible;
    }
    return visible >= kControls;
  }
  return false;
}

// Milliseconds from CreateProcessA to the dialog on screen. The process is ended once it is
// measured: the program would go on to its second dialog.
double StartOnce(const Program& program) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  double start = Now();
  if (!CreateProcessA(program.path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    fprintf(stderr, "cannot start %s: error %lu\n", program.path, GetLastError());
    exit(1);
  }
  double shown = 0;
  while (Now() - start < kDeadline) {
    if (DialogShown(program.windowClass, process.dwProcessId)) {
      shown = Now();
      break;
    }
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!shown) {
    fprintf(stderr, "%s showed no dialog within %.0f s\n", program.path, kDeadline);
    exit(1);
  }
  return (shown - start) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr,
            "usage: startup_bench PROGRAM MINIMAL MINIMAL_MANIFEST MINIMAL_SETUP [ROUNDS]\n");
    return 2;
  }
  int rounds = argc > 5 ? atoi(argv[5]) : 40;
  Program programs[] = {
      {{"program", {}}, argv[1], "InputRequester"},
      {{"minimal", {}}, argv[2], "MinimalDialog"},
      {{"minimal_manifest", {}}, argv[3], "MinimalDialog"},
      {{"minimal_setup", {}}, argv[4], "MinimalDialog"},
  };
  for (int round = 0; round < kWarmUpRounds; ++round) {
    for (const Program& program : programs) StartOnce(program);
  }
  // Every four rounds each program comes once in each place and once right after each other one,
  // so that no program always follows the same other one.
  static const int kOrders[][4] = {{0, 1, 3, 2}, {1, 2, 0, 3}, {2, 3, 1, 0}, {3, 0, 2, 1}};
  for (int round = 0; round < rounds; ++round) {
    for (int i : kOrders[round % 4]) BenchRecord(&programs[i].side, StartOnce(programs[i]));
  }
  for (const Program& program : programs) BenchSidePrint(program.side, "ms");
  BenchRatioPrint(programs[0].side, programs[1].side, 1.1);
  BenchRatioPrint(programs[2].side, programs[1].side, 0);
  BenchRatioPrint(programs[3].side, programs[2].side, 0);
  BenchRatioPrint(programs[0].side, programs[3].side, 0);
}
