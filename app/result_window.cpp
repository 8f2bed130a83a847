#include "app/result_window.h"

#include "gadget/frame_gadget.h"
#include "gadget/gadget.h"
#include "gadget/string_gadget.h"
#include "window/window.h"

#include <windows.h>

namespace {

constexpr uint32_t kResultFlags = WS_CAPTION | WS_SYSMENU;
constexpr uint32_t kReadOnly = ES_READONLY;
constexpr intptr_t kAdviceGadget = 11;

// One field of the result window, in the order they are made.
struct ResultGadget {
  bool frame;  // a captioned frame, else a read-only text field
  intptr_t number;
  int x, y, width, height;
  const char* text;
};

const ResultGadget kResultGadgets[] = {
    {false, 0, 120, 80, 80, 20, ""},
    {false, 1, 30, 40, 90, 20, "...Normalgewicht"},
    {false, 2, 120, 120, 80, 20, ""},
    {false, 3, 120, 40, 80, 20, ""},
    {false, 4, 30, 120, 90, 20, "...BMI-Index"},
    {false, 5, 30, 80, 90, 20, "...Idealgewicht"},
    {true, 6, 10, 20, 210, 130, "Dein..."},
    {true, 7, 240, 20, 250, 170, "Auswertung"},
    {false, 8, 260, 40, 210, 20, ""},
    {false, 9, 260, 120, 210, 20, ""},
    {false, 10, 260, 80, 210, 20, ""},
    {false, kAdviceGadget, 260, 160, 210, 20, ""},
};

// Which variable fills which field, in the order they are filled.
struct ResultText {
  intptr_t number;
  StringVariable AppState::*text;
};

// clang-format off
const ResultText kResultTexts[] = {
    {3, &AppState::normalText},    {0, &AppState::idealText},  {2, &AppState::bmiText},
    {8, &AppState::normalVerdict}, {9, &AppState::classText},  {10, &AppState::idealVerdict},
    {kAdviceGadget, &AppState::adviceText},
};
// clang-format on

}  // namespace

intptr_t ResultWindowShow(AppState* state) {
  intptr_t window = WindowOpen(ResultWindowNumber, 245, 38, 494, 205, "Ergebnis", kResultFlags);
  if (window) {
    for (const ResultGadget& g : kResultGadgets) {
      if (g.frame) {
        FrameGadgetCreate(g.number, g.x, g.y, g.width, g.height, g.text);
      } else {
        StringGadgetCreate(g.number, g.x, g.y, g.width, g.height, g.text, kReadOnly);
      }
    }
  }
  GadgetSetColor(kAdviceGadget, GadgetColorBack, static_cast<int32_t>(AdviceChoose(state)));
  for (const ResultText& t : kResultTexts) GadgetSetText(t.number, state->*t.text);
  return window;
}
