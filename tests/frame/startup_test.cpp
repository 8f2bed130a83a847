#include "frame/startup.h"

#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

// The test program's entry has run RuntimeStart, as the program's does.
TEST(RuntimeStartTest, MakesEveryLayerAndInitialisesThePlatform) {
  EXPECT_EQ(ModuleInstance, GetModuleHandleA(nullptr));
  EXPECT_NE(MainHeap, nullptr);
  EXPECT_NE(StringHeap, nullptr);
  EXPECT_NE(ListHeap, nullptr);
  EXPECT_NE(StringBuffer.text, nullptr);
  // COM is already initialised on this thread: a second call answers S_FALSE.
  HRESULT again = CoInitialize(nullptr);
  EXPECT_EQ(again, S_FALSE);
  CoUninitialize();
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(GetClassInfoExA(nullptr, "msctls_progress32", &info)) << "common controls registered";
}

TEST(RuntimeStartTest, LeavesAnEmptyBufferOfCapacity16) {
  EXPECT_EQ(StringBuffer.used, 0);
  EXPECT_EQ(StringBuffer.capacity, 16);
}

TEST(RuntimeEndTest, ExitsWithCodeZero) {
  EXPECT_EXIT(RuntimeEnd(), testing::ExitedWithCode(0), "");
}

}  // namespace
