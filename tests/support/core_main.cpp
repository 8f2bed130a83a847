// Test entry for the platform-independent core: the heaps the core needs, made once per process
// as the program's start-up makes them.
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  MainHeap = HeapCreate(0, 4096, 0);
  StringManagerStart();
  ListHeapCreate();
  return RUN_ALL_TESTS();
}
