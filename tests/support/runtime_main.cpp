// Test entry for the Windows runtime: the real start-up sequence, as the program runs it.
#include "frame/startup.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RuntimeStart();
  return RUN_ALL_TESTS();
}
