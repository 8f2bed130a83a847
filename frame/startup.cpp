#include "frame/startup.h"

#include "gadget/gadget.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

// The layers' start routines in the order they must run: each may use the layers before it.
// The window layer takes its place between the list heap and the gadget layer.
constexpr void (*kStartSequence[])() = {
    StringManagerStart,
    ListHeapCreate,
    GadgetLayerStart,
    PlatformStart,
};

}  // namespace

void RuntimeStart() {
  ModuleInstance = GetModuleHandleA(nullptr);
  MainHeap = HeapCreate(0, 4096, 0);
  if (!MainHeap) RuntimeFail();
  for (auto start : kStartSequence) start();
}

void RuntimeEnd() {
  // The window layer's end routine runs here, before the MainHeap goes: closing a window still
  // reads and frees MainHeap records.
  HeapDestroy(MainHeap);
  ExitProcess(0);
}

void PlatformStart() {
  InitCommonControls();
  CoInitialize(nullptr);
}
