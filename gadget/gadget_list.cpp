#include "gadget/gadget_list.h"

#include "runtime/instance.h"
#include "runtime/memory.h"
#include "runtime/number_text.h"

GadgetListState* GadgetList;

namespace {

constexpr int32_t kStackCapacity = 10;

HWND* StackCreate() {
  return static_cast<HWND*>(HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, kStackCapacity * sizeof(HWND)));
}

// The name of the property that holds a window's GadgetStackRecord, made by GadgetListStateInit.
// It carries the module instance so that each module of a process keeps its own record; the full
// handle, so that two modules never share a name.
char stackPropertyName[64];

GadgetStackRecord* StackRecordOf(HWND window) {
  return static_cast<GadgetStackRecord*>(GetPropA(window, stackPropertyName));
}

HWND ListWindow() {
  return GadgetList->depth > 0 ? GadgetList->stack[0] : GadgetList->window;
}

// Hands the live state to the record of the window that stops being current; a window without a
// record keeps nothing, and the state keeps its stack.
void StateParkIn(HWND previous) {
  GadgetStackRecord* record = previous ? StackRecordOf(previous) : nullptr;
  if (!record) return;
  record->savedWindow = GadgetList->window;
  record->savedStack = GadgetList->stack;
  record->savedDepth = GadgetList->depth;
  record->savedCapacity = GadgetList->capacity;
  GadgetList->stack = nullptr;
}

void StateLoadFrom(GadgetStackRecord* record) {
  MemoryFree(GadgetList->stack);
  GadgetList->window = record->savedWindow;
  GadgetList->stack = record->savedStack;
  GadgetList->depth = record->savedDepth;
  GadgetList->capacity = record->savedCapacity;
  record->savedStack = nullptr;
}

// A window's first use. Everything that can fail is had before the state changes, so a refusal
// (false) leaves the previous window current with its state intact.
bool ListWindowAdopt(HWND window, HWND previous) {
  auto* record = static_cast<GadgetStackRecord*>(
      HeapAlloc(MainHeap, HEAP_ZERO_MEMORY, sizeof(GadgetStackRecord)));
  if (!record) return false;
  // Parking takes the live stack along; the new state then needs a stack of its own.
  bool needsStack = (previous && StackRecordOf(previous)) || !GadgetList->stack;
  HWND* newStack = needsStack ? StackCreate() : nullptr;
  if (needsStack && !newStack) {
    MemoryFree(record);
    return false;
  }
  // Fails for a handle that is no (longer a) window.
  if (!SetPropA(window, stackPropertyName, record)) {
    MemoryFree(newStack);
    MemoryFree(record);
    return false;
  }
  StateParkIn(previous);
  if (newStack) {
    GadgetList->stack = newStack;
    GadgetList->capacity = kStackCapacity;
  }
  GadgetList->depth = 0;
  GadgetList->window = window;
  record->window = window;
  record->oldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetListWindowProc)));
  return true;
}

void OnListWindowDestroyed(HWND window, GadgetStackRecord* record) {
  if (record->window == ListWindow()) {
    GadgetList->window = nullptr;
    GadgetList->depth = 0;
  }
  MemoryFree(record->savedStack);
  MemoryFree(record);
  RemovePropA(window, stackPropertyName);
}

}  // namespace

void GadgetListStateInit(void* record) {
  auto* state = static_cast<GadgetListState*>(record);
  state->capacity = kStackCapacity;
  state->stack = StackCreate();
  if (!state->stack) RuntimeFail();
  state->optionRun = 0;
  state->font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  NumberNameFormat(stackPropertyName, sizeof stackPropertyName, "KX_GadgetStack_",
                   reinterpret_cast<intptr_t>(ModuleInstance));
}

HWND GadgetListUse(HWND window) {
  HWND previous = ListWindow();
  if (!window) return previous;
  GadgetStackRecord* record = StackRecordOf(window);
  if (record) {
    StateParkIn(previous);
    StateLoadFrom(record);
  } else if (!ListWindowAdopt(window, previous)) {
    return previous;
  }
  GadgetList->optionRun = 0;
  return previous;
}

LRESULT CALLBACK GadgetListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetStackRecord* record = StackRecordOf(window);
  if (!record) return DefWindowProcA(window, message, wParam, lParam);
  WNDPROC oldProc = record->oldProc;
  switch (message) {
    case WM_NCDESTROY: OnListWindowDestroyed(window, record); break;
  }
  if (oldProc) return CallWindowProcA(oldProc, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}
