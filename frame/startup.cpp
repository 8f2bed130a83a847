#include "frame/startup.h"

#include "gadget/gadget.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"
#include "window/window.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

// The layers' start routines in the order they must run: each may use the layers before it.
// clang-format off
constexpr void (*kStartSequence[])() = {
    StringManagerStart,
    ListHeapCreate,
    WindowLayerStart,
    GadgetLayerStart,
    PlatformStart,
};
// clang-format on

}  // namespace

void RuntimeStart() {
  ModuleInstance = GetModuleHandleA(nullptr);
  MainHeap = HeapCreate(0, 4096, 0);
  if (!MainHeap) RuntimeFail();
  for (auto start : kStartSequence) start();
}

void RuntimeEnd() {
  RuntimeEndWith(0);
}

void RuntimeEndWith(UINT exitCode) {
  // Before the MainHeap goes: closing a window still reads and frees MainHeap records.
  WindowLayerEnd();
  HeapDestroy(MainHeap);
  ExitProcess(exitCode);
}

void PlatformStart() {
  InitCommonControls();
  CoInitialize(nullptr);
}
