// The event loop against a bare message loop over the same messages to the same runtime window.
// Run (under Wine): cmake --preset i686 && cmake --build --preset i686 --target event_wait_bench &&
//   scripts/wine-run build/i686/bench/event_wait_bench.exe
// Prints the median time per message of each loop over several rounds, and their ratio.
#include "frame/startup.h"
#include "window/event.h"
#include "window/window.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kMessages = 5000;  // per round; well under the platform's queue limit
constexpr int kRounds = 15;
constexpr UINT kMessage = WM_APP + 1;  // handled by no one: the default procedure answers

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Post(HWND window) {
  for (int i = 0; i < kMessages; ++i) PostMessageA(window, kMessage, i, 0);
}

// Nanoseconds per message for one loop over one batch.
double EventLoopRound(HWND window) {
  Post(window);
  double start = Now();
  for (int i = 0; i < kMessages; ++i) EventWait();
  return (Now() - start) * 1e9 / kMessages;
}

double BareLoopRound(HWND window) {
  Post(window);
  double start = Now();
  MSG message;
  for (int i = 0; i < kMessages; ++i) {
    GetMessageA(&message, nullptr, 0, 0);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return (Now() - start) * 1e9 / kMessages;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  RuntimeStart();
  auto window = reinterpret_cast<HWND>(WindowOpen(0, 100, 100, 200, 100, "Bench", 0));
  // Let the opening's own messages and events run out before measuring.
  while (EventWaitTimeout(50) != EventCodeNone) {
  }
  std::vector<double> eventLoop, bareLoop;
  for (int round = 0; round < kRounds; ++round) {
    eventLoop.push_back(EventLoopRound(window));
    bareLoop.push_back(BareLoopRound(window));
  }
  double event = Median(eventLoop);
  double bare = Median(bareLoop);
  printf("messages per round: %d, rounds: %d\n", kMessages, kRounds);
  printf("EventWait loop:     %8.0f ns per message (median)\n", event);
  printf("bare message loop:  %8.0f ns per message (median)\n", bare);
  printf("ratio:              %8.2f (goal: at most 1.30)\n", event / bare);
  RuntimeEnd();
}
