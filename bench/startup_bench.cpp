// Start-up time: from CreateProcess to the first dialog on screen, for the program and for the
// four builds of the minimal dialog program (bench/minimal_dialog.cpp), each started once a round
// in an order shuffled anew every round.
// Run (under Wine): scripts/wine-run build/i686/bench/startup_bench.exe build/i686/waagenfuchs.exe
//   build/i686/bench/minimal_dialog.exe build/i686/bench/minimal_dialog_manifest.exe
//   build/i686/bench/minimal_dialog_setup.exe build/i686/bench/minimal_dialog_visible.exe [rounds]
//
// The dialog counts as on screen once its window is visible with all three of its controls.
// The driver looks every millisecond rather than in a busy loop: on a two-core machine a busy
// loop takes a core and the wineserver's time from the program it measures, and made every start
// slower and noisier; Sleep(1) lasts about 1.1 ms under Wine.
#include "bench/bench_support.h"

#include <algorithm>
#include <cstdlib>
#include <random>

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
  if (shown == 0) {
    fprintf(stderr, "%s showed no dialog within %.0f s\n", program.path, kDeadline);
    exit(1);
  }
  return (shown - start) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  // In the order of the command line, each with the label the report knows it by.
  Program programs[] = {
      {{"program", {}}, nullptr, "InputRequester"},
      {{"minimal", {}}, nullptr, "MinimalDialog"},
      {{"minimal_manifest", {}}, nullptr, "MinimalDialog"},
      {{"minimal_setup", {}}, nullptr, "MinimalDialog"},
      {{"minimal_visible", {}}, nullptr, "MinimalDialog"},
  };
  constexpr int kCount = sizeof programs / sizeof programs[0];
  if (argc < kCount + 1) {
    fprintf(stderr, "usage: startup_bench PROGRAM MINIMAL MINIMAL_MANIFEST MINIMAL_SETUP "
                    "MINIMAL_VISIBLE [ROUNDS]\n");
    return 2;
  }
  for (int i = 0; i < kCount; ++i) programs[i].path = argv[i + 1];
  int rounds = argc > kCount + 1 ? atoi(argv[kCount + 1]) : 40;
  for (int round = 0; round < kWarmUpRounds; ++round) {
    for (const Program& program : programs) StartOnce(program);
  }
  int order[kCount];
  for (int i = 0; i < kCount; ++i) order[i] = i;
  std::mt19937 random(1);
  for (int round = 0; round < rounds; ++round) {
    std::shuffle(order, order + kCount, random);
    for (int i : order) BenchRecord(&programs[i].side, StartOnce(programs[i]));
  }
  for (const Program& program : programs) BenchSidePrint(program.side, "ms");
  BenchRatioPrint(programs[0].side, programs[1].side, 1.1);
  for (int i = 1; i < kCount; ++i) {
    BenchRatioPrint(programs[(i + 1) % kCount].side, programs[i].side, 0);
  }
}
