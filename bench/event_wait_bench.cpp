// The event loop against a bare message loop over the same messages to the same runtime window.
// Run (under Wine): cmake --preset i686 && cmake --build --preset i686 --target event_wait_bench &&
//   scripts/wine-run build/i686/bench/event_wait_bench.exe [rounds]
// Prints the time per message of each loop in every round, then the medians and their ratio.
#include "bench/bench_support.h"
#include "frame/startup.h"
#include "window/event.h"
#include "window/window.h"

#include <cstdlib>

namespace {

constexpr int kMessages = 5000;  // per round; well under the platform's queue limit
constexpr UINT kMessage = WM_APP + 1;  // handled by no one: the default procedure answers

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

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 15;
  RuntimeStart();
  auto window = reinterpret_cast<HWND>(WindowOpen(0, 100, 100, 200, 100, "Bench", 0));
  // Let the opening's own messages and events run out before measuring.
  while (EventWaitTimeout(50) != EventCodeNone) {
  }
  BenchSide eventLoop = {"event_wait", {}};
  BenchSide bareLoop = {"bare_loop", {}};
  // Each round swaps which loop runs first, so that neither always follows the other.
  for (int round = 0; round < rounds; ++round) {
    if (round % 2) BenchRecord(&bareLoop, BareLoopRound(window));
    BenchRecord(&eventLoop, EventLoopRound(window));
    if (round % 2 == 0) BenchRecord(&bareLoop, BareLoopRound(window));
  }
  printf("messages per round: %d\n", kMessages);
  BenchSidePrint(eventLoop, "ns per message");
  BenchSidePrint(bareLoop, "ns per message");
  BenchRatioPrint(eventLoop, bareLoop, 1.3);
  RuntimeEnd();
}
