// Shared by the window layer's tests: a fixture that closes every runtime window after each test,
// and ways to run the program's own event loop for a while.
#pragma once

#include "tests/support/gui.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

// Runs the event wait until code satisfies want or the deadline passes; returns the last code, or
// 0 when the deadline passed first.
int32_t EventWaitFor(const std::function<bool(int32_t code)>& want,
                     DWORD timeoutMs = kGuiDeadlineMs);

// Every code the wait returns for ms milliseconds.
std::vector<int32_t> EventsRunFor(DWORD ms);

// The codes of the events the wait returns without blocking, until it finds nothing, keeping
// only event codes (3, 5, 15, 16, 13100 to 13109); platform message numbers are dropped.
std::vector<int32_t> EventsDrain();

class RuntimeWindowTest : public testing::Test {
 protected:
  void TearDown() override;
};
