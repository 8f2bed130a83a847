#include "frame/startup.h"

#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"

#include <gtest/gtest.h>

#include "window/window.h"

#include <objbase.h>

#include <cstdio>

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

// In the dying child: each window reports, as it goes, whether the MainHeap still stands and
// whether the windows closed before it have given back their classes.
LRESULT CALLBACK GoingReport(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto oldProc = reinterpret_cast<WNDPROC>(GetPropA(window, "OldProc"));
  if (message == WM_NCDESTROY) {
    char title[8] = "";
    GetWindowTextA(window, title, sizeof title);
    WNDCLASSA info;
    fprintf(stderr, "[%s heap %s, class 0 %s]", title,
            HeapValidate(MainHeap, 0, nullptr) ? "up" : "gone",
            GetClassInfoA(ModuleInstance, "WindowClass_0", &info) ? "registered" : "unregistered");
    RemovePropA(window, "OldProc");
  }
  return CallWindowProcA(oldProc, window, message, wParam, lParam);
}

TEST(RuntimeEndTest, ClosesEveryWindowBeforeTheHeapGoes) {
  EXPECT_EXIT(
      {
        for (intptr_t number : {intptr_t{-1}, intptr_t{2}, intptr_t{0}}) {
          char title[8];
          snprintf(title, sizeof title, "%s", number == -1 ? "dyn" : number ? "2" : "0");
          intptr_t opened = WindowOpen(number, 10, 10, 100, 50, title, 0);
          HWND handle = WindowFind(number == -1 ? opened : number)->handle;
          SetPropA(handle, "OldProc", reinterpret_cast<HANDLE>(SetWindowLongPtrA(
                                          handle, GWLP_WNDPROC,
                                          reinterpret_cast<LONG_PTR>(GoingReport))));
        }
        RuntimeEnd();
      },
      testing::ExitedWithCode(0),
      "\\[0 heap up, class 0 registered\\]\\[2 heap up, class 0 unregistered\\]"
      "\\[dyn heap up, class 0 unregistered\\]");
}

}  // namespace
