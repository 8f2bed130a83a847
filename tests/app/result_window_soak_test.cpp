#include "app/result_window.h"

#include "gadget/brush_cache.h"
#include "gadget/gadget.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"
#include "tests/support/gui.h"
#include "tests/window/runtime_window.h"
#include "window/window.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The count behind the soak tests can still fail: cycles that keep 16 bytes each on one of the
// three watched heaps fail for that heap, and for no other.
TEST(HeapCountTest, ALeakOnEachWatchedHeapFails) {
  const HANDLE heaps[] = {MainHeap, StringHeap, ListHeap};
  for (size_t leaking = 0; leaking < 3; ++leaking) {
    SCOPED_TRACE(leaking);
    std::vector<void*> kept;
    testing::TestPartResultArray failures;
    {
      testing::ScopedFakeTestPartResultReporter reporter(
          testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
      CyclesGiveBack({MainHeap, StringHeap, ListHeap}, 2, 5,
                     [&](int) { kept.push_back(HeapAlloc(heaps[leaking], 0, 16)); });
    }
    for (void* block : kept) HeapFree(heaps[leaking], 0, block);
    ASSERT_EQ(failures.size(), 1);
    std::string message = failures.GetTestPartResult(0).message();
    EXPECT_NE(message.find("heap " + std::to_string(leaking) + " grew in both halves"),
              std::string::npos)
        << message;
  }
}

// The window and its twelve fields as the layout has them: made in number order, each of its
// kind, read-only where it is a text field, at its place (left, top, right, bottom in the client
// area) and with its text.
TEST_F(ResultWindowSoakTest, TwelveFieldsInTheirPlacesWithTheirTexts) {
  AppState state = {};
  StringAssign(&state.weightText, "75");
  StringAssign(&state.heightText, "180");
  state.sex = 1;
  AssessmentCompute(&state);
  ASSERT_NE(ResultWindowShow(&state), 0);
  HWND window = WindowFind(ResultWindowNumber)->handle;
  EXPECT_EQ(WindowRectOf(window).left, 245);
  EXPECT_EQ(WindowRectOf(window).top, 38);
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 494);
  EXPECT_EQ(client.bottom, 205);
  struct Case {
    const char* className;
    LONG left, top, right, bottom;
    const char* text;
  } const cases[] = {
      {"Edit", 120, 80, 200, 100, state.idealText},
      {"Edit", 30, 40, 120, 60, "...Normalgewicht"},
      {"Edit", 120, 120, 200, 140, state.bmiText},
      {"Edit", 120, 40, 200, 60, state.normalText},
      {"Edit", 30, 120, 120, 140, "...BMI-Index"},
      {"Edit", 30, 80, 120, 100, "...Idealgewicht"},
      {"Button", 10, 20, 220, 150, "Dein..."},
      {"Button", 240, 20, 490, 190, "Auswertung"},
      {"Edit", 260, 40, 470, 60, state.normalVerdict},
      {"Edit", 260, 120, 470, 140, state.classText},
      {"Edit", 260, 80, 470, 100, state.idealVerdict},
      {"Edit", 260, 160, 470, 180, state.adviceText},
  };
  std::vector<HWND> children = ChildWindows(window);
  ASSERT_EQ(children.size(), 12u);
  for (LONG_PTR number = 0; number < 12; ++number) {
    SCOPED_TRACE(number);
    const Case& c = cases[number];
    HWND control = children[number];
    EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), number);
    char name[16] = "", text[64] = "";
    GetClassNameA(control, name, sizeof name);
    GetWindowTextA(control, text, sizeof text);
    EXPECT_STREQ(name, c.className);
    EXPECT_STREQ(text, c.text ? c.text : "");
    EXPECT_EQ(RectInParent(control), (RECT{c.left, c.top, c.right, c.bottom}));
    EXPECT_EQ((GetWindowLongA(control, GWL_STYLE) & ES_READONLY) != 0, c.className[0] == 'E');
  }
  EXPECT_EQ(GadgetGetColor(kAdviceGadget, GadgetColorBack), 0x0000CC00);
  WindowClose(ResultWindowNumber);
}

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
