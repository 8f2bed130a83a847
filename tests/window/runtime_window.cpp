#include "tests/window/runtime_window.h"

#include "window/event.h"
#include "window/window.h"

namespace {

bool IsEventCode(int32_t code) {
  return code == EventCodeMove || code == EventCodeSize || code == EventCodeRepaint ||
         code == EventCodeClose || (code >= EventCodeGadget && code <= EventCodeRestore);
}

}  // namespace

int32_t EventWaitFor(const std::function<bool(int32_t code)>& want, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    int32_t code = EventWaitTimeout(10);
    if (want(code)) return code;
  }
  return 0;
}

std::vector<int32_t> EventsRunFor(DWORD ms) {
  std::vector<int32_t> codes;
  EventWaitFor([&](int32_t code) {
    if (code) codes.push_back(code);
    return false;
  }, ms);
  return codes;
}

std::vector<int32_t> EventsDrain() {
  std::vector<int32_t> codes;
  // Bounded: a window that keeps posting to itself must not hang the test.
  for (int i = 0; i < 1000; ++i) {
    int32_t code = EventWaitTimeout(0);
    if (code == EventCodeNone) break;
    if (IsEventCode(code)) codes.push_back(code);
  }
  return codes;
}

void RuntimeWindowTest::TearDown() {
  WindowLayerEnd();
  EventsDrain();
}
