#include "app/result_window.h"

#include "gadget/brush_cache.h"
#include "gadget/gadget.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"
#include "tests/support/gui.h"
#include "tests/window/runtime_window.h"
#include "window/window.h"

#include <gtest/gtest.h>

namespace {

// A thousand windows in all: a warm-up, then the two halves that must give back what they take.
constexpr int kWarmUp = 100;
constexpr int kHalf = 450;
constexpr intptr_t kAdviceGadget = 11;

size_t LiveEntries(ObjectTable* table) {
  size_t count = 0;
  intptr_t number;
  ObjectIterateStart(table);
  while (ObjectIterateNext(table, &number)) ++count;
  return count;
}

size_t BrushCacheEntries() {
  size_t count = 0;
  for (ListNode* node = BrushCacheList; node; node = node->next) ++count;
  return count;
}

// What the runtime holds for its windows between two result windows.
struct RuntimeHoldings {
  size_t windows;        // live entries of the window table
  size_t gadgets;        // live entries of the gadget table
  size_t brushes;        // brush cache entries
  bool classRegistered;  // "WindowClass_0"
};

RuntimeHoldings RuntimeHoldingsNow() {
  return {LiveEntries(WindowTable), LiveEntries(GadgetTable), BrushCacheEntries(),
          WindowClassRegistered("WindowClass_0")};
}

bool operator==(const RuntimeHoldings& a, const RuntimeHoldings& b) {
  return a.windows == b.windows && a.gadgets == b.gadgets && a.brushes == b.brushes &&
         a.classRegistered == b.classRegistered;
}

void PrintTo(const RuntimeHoldings& h, std::ostream* out) {
  *out << "{windows " << h.windows << ", gadgets " << h.gadgets << ", brushes " << h.brushes
       << ", class " << (h.classRegistered ? "registered" : "unregistered") << "}";
}

const RuntimeHoldings kNothingHeld = {0, 0, 0, false};

// One assessment per advice colour, so that the advice line's brush changes from window to window.
struct Assessment {
  const char* weight;
  const char* height;
  int32_t colour;  // of the advice line
};

const Assessment kAssessments[] = {
    {"50", "180", 0x0000FFFF},   // underweight: yellow
    {"75", "180", 0x0000CC00},   // normal: green
    {"110", "180", 0x0001B1FF},  // obese: orange
    {"140", "180", 0x000066FF},  // severely obese: red
};

using ResultWindowSoakTest = RuntimeWindowTest;

TEST_F(ResultWindowSoakTest, ThousandResultWindowsGiveBackEverything) {
  AppState states[4] = {};
  for (int i = 0; i < 4; ++i) {
    StringAssign(&states[i].weightText, kAssessments[i].weight);
    StringAssign(&states[i].heightText, kAssessments[i].height);
    states[i].sex = 1;
    AssessmentCompute(&states[i]);
    // The advice text is the state's own variable, made here so that the heaps' count holds it.
    AdviceChoose(&states[i]);
  }
  ASSERT_EQ(RuntimeHoldingsNow(), kNothingHeld);
  CyclesGiveBack({MainHeap, StringHeap, ListHeap}, kWarmUp, kHalf, [&](int cycle) {
    SCOPED_TRACE(cycle);
    const Assessment& expected = kAssessments[cycle % 4];
    ASSERT_NE(ResultWindowShow(&states[cycle % 4]), 0);
    ASSERT_EQ(RuntimeHoldingsNow(), (RuntimeHoldings{1, 12, 1, true}));
    ASSERT_EQ(GadgetGetColor(kAdviceGadget, GadgetColorBack), expected.colour);
    HWND window = WindowFind(ResultWindowNumber)->handle;
    HACCEL accelerators = WindowFind(ResultWindowNumber)->acceleratorTable;
    HBRUSH brush = GadgetFind(kAdviceGadget)->brush;
    // The same checks while they are held, so that the ones after closing prove something.
    ASSERT_EQ(CopyAcceleratorTableA(accelerators, nullptr, 0), 2);
    ASSERT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    // As in the program: the event wait runs the window's messages, painting included.
    EventsDrain();
    WindowClose(ResultWindowNumber);
    EventsDrain();
    // Checked at once: the next window may get the same handle values.
    ASSERT_FALSE(IsWindow(window));
    ASSERT_EQ(CopyAcceleratorTableA(accelerators, nullptr, 0), 0) << "accelerator table kept";
    ASSERT_EQ(GetObjectType(brush), 0u) << "advice brush kept";
    ASSERT_EQ(RuntimeHoldingsNow(), kNothingHeld);
  });
}

}  // namespace
