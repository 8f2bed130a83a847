// The test kit's runner: runs the kit's test programs on Windows (or under Wine) one case per
// process, as CTest runs them on the build machine, with CTest's time limit for each case.
//   run_tests.exe LIST REPORT
// LIST names one program per line with its limit in seconds ("gadget_tests.exe 60"), files that
// lie beside the runner. Each program is asked for its cases (--gtest_list_tests) and then runs
// each case alone (--gtest_filter); a case that runs past its limit is ended and counts as
// failed. Every program's output goes into REPORT. The last line is "N passed, M failed" (with
// ", K skipped" when a case skipped itself); the exit code is 0 only when nothing failed.
// Only kernel32: the kit must run on a bare Windows XP.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A listing takes one start of the program; CTest gives it the same bound.
constexpr DWORD kListingLimitMs = 60000;

struct Program {
  std::string name;  // file name beside the runner
  DWORD limitMs;     // bound of each of its cases
};

enum class Ending { Exited, TimedOut, NotStarted };

struct Counts {
  int passed = 0;
  int failed = 0;
  int skipped = 0;
  std::vector<std::string> failures;  // "program case: why", in the order they failed
};

std::string Folder;  // the runner's own folder, with a trailing backslash

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return text;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  fclose(file);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Runs the command line in the runner's folder with stdout and stderr into outputPath, and ends
// it when it runs past limitMs. The end-to-end driver puts the program it drives into a job that
// dies with the driver, so ending the driver ends that program too.
Ending Run(const std::string& commandLine, const std::string& outputPath, DWORD limitMs,
           DWORD* exitCode) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return Ending::NotStarted;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                Folder.c_str(), &startup, &process);
  CloseHandle(output);
  if (!started) return Ending::NotStarted;
  Ending ending = Ending::Exited;
  if (WaitForSingleObject(process.hProcess, limitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    ending = Ending::TimedOut;
  }
  GetExitCodeProcess(process.hProcess, exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ending;
}

// The cases of a --gtest_list_tests output as filters: a suite line ends in '.', its cases follow
// indented; parameterised ones carry a comment ("  # GetParam() = ...") that is not part of the
// name.
std::vector<std::string> CasesOf(const std::string& listing) {
  std::vector<std::string> cases;
  std::string suite;
  for (std::string line : Lines(listing)) {
    size_t comment = line.find("  #");
    if (comment != std::string::npos) line.erase(comment);
    if (line.empty()) continue;
    if (line[0] != ' ') {
      suite = line.back() == '.' ? line : "";
    } else if (!suite.empty()) {
      cases.push_back(suite + line.substr(line.find_first_not_of(' ')));
    }
  }
  return cases;
}

void Append(FILE* report, const std::string& heading, const std::string& outputPath) {
  fprintf(report, "==== %s\n%s\n", heading.c_str(), ReadFile(outputPath).c_str());
  fflush(report);
}

void Fail(Counts* counts, const std::string& what, const char* why) {
  ++counts->failed;
  counts->failures.push_back(what + ": " + why);
  printf("FAILED  %s: %s\n", what.c_str(), why);
}

void RunProgram(const Program& program, FILE* report, Counts* counts) {
  std::string output = Folder + "run_tests.out";
  std::string command = "\"" + Folder + program.name + "\"";
  DWORD exitCode = 0;
  Ending listed = Run(command + " --gtest_list_tests", output, kListingLimitMs, &exitCode);
  Append(report, program.name + " --gtest_list_tests", output);
  std::vector<std::string> cases = CasesOf(ReadFile(output));
  if (listed != Ending::Exited || exitCode != 0 || cases.empty()) {
    Fail(counts, program.name, "could not list its cases");
    return;
  }
  for (const std::string& name : cases) {
    std::string what = program.name + " " + name;
    std::string filtered = command;
    filtered.append(" --gtest_filter=").append(name);
    DWORD began = GetTickCount();
    Ending ending = Run(filtered, output, program.limitMs, &exitCode);
    double seconds = (GetTickCount() - began) / 1000.0;
    Append(report, what, output);
    std::string text = ReadFile(output);
    if (ending == Ending::NotStarted) {
      Fail(counts, what, "could not be started");
    } else if (ending == Ending::TimedOut) {
      Fail(counts, what, "ran past its time limit and was ended");
    } else if (exitCode != 0) {
      Fail(counts, what, "failed");
    } else if (text.find("[  SKIPPED ]") != std::string::npos) {
      ++counts->skipped;
      printf("skipped %s (%.1f s)\n", what.c_str(), seconds);
    } else if (text.find("[       OK ] " + name) == std::string::npos) {
      // An exit code of 0 without the case's own line: the filter matched nothing.
      Fail(counts, what, "did not run");
    } else {
      ++counts->passed;
      printf("ok      %s (%.1f s)\n", what.c_str(), seconds);
    }
    fflush(stdout);
  }
  DeleteFileA(output.c_str());
}

std::vector<Program> ProgramsOf(const std::string& list) {
  std::vector<Program> programs;
  for (const std::string& line : Lines(list)) {
    char name[MAX_PATH];
    unsigned seconds = 0;
    if (sscanf(line.c_str(), "%259s %u", name, &seconds) == 2) {
      programs.push_back({name, seconds * 1000});
    }
  }
  return programs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s LIST REPORT\n", argv[0]);
    return 2;
  }
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length == sizeof self) return 2;
  Folder.assign(self, strrchr(self, '\\') + 1);
  std::vector<Program> programs = ProgramsOf(ReadFile(argv[1]));
  FILE* report = fopen(argv[2], "w");
  if (programs.empty() || !report) {
    fprintf(stderr, "%s: no programs in %s, or no report %s\n", argv[0], argv[1], argv[2]);
    return 2;
  }
  Counts counts;
  DWORD began = GetTickCount();
  for (const Program& program : programs) RunProgram(program, report, &counts);
  unsigned seconds = (GetTickCount() - began) / 1000;
  fprintf(report, "==== summary (%u s)\n", seconds);
  printf("\n");
  for (const std::string& failure : counts.failures) {
    printf("failed: %s\n", failure.c_str());
    fprintf(report, "failed: %s\n", failure.c_str());
  }
  char summary[80];
  snprintf(summary, sizeof summary, "%d passed, %d failed", counts.passed, counts.failed);
  if (counts.skipped > 0) {
    size_t used = strlen(summary);
    snprintf(summary + used, sizeof summary - used, ", %d skipped", counts.skipped);
  }
  fprintf(report, "%s\n", summary);
  fclose(report);
  printf("%u s; report in %s\n%s\n", seconds, argv[2], summary);
  return counts.failed == 0 ? 0 : 1;
}
