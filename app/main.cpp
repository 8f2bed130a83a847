// The program's entry point: asks for the weight and the height, then the sex, and shows the
// assessment until the user closes the result window.
#include "app/assessment.h"
#include "frame/startup.h"
#include "gadget/frame_gadget.h"
#include "gadget/gadget.h"
#include "gadget/option_gadget.h"
#include "gadget/string_gadget.h"
#include "requester/input_requester.h"
#include "runtime/strings.h"
#include "window/event.h"
#include "window/window.h"

namespace {

AppState App;

constexpr uint32_t kChoiceFlags = WS_CAPTION | WS_THICKFRAME | WindowFlagCentreScreen;
constexpr uint32_t kResultFlags = WS_CAPTION | WS_SYSMENU;
constexpr uint32_t kReadOnly = ES_READONLY;
constexpr int32_t kBackgroundColour = 2;  // GadgetSetColor's attribute
// Ends the run when the choice window cannot be opened: no answer could ever come.
constexpr UINT kExitNoChoiceWindow = 2;

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
    {false, 11, 260, 160, 210, 20, ""},
};

// Which variable fills which field, in the order they are filled.
struct ResultText {
  intptr_t number;
  StringVariable AppState::*text;
};

const ResultText kResultTexts[] = {
    {3, &AppState::normalText},    {0, &AppState::idealText},  {2, &AppState::bmiText},
    {8, &AppState::normalVerdict}, {9, &AppState::classText},  {10, &AppState::idealVerdict},
    {11, &AppState::adviceText},
};

// The user's answer to one dialog; the empty text when it was cancelled.
void Ask(StringVariable* answer, const char* title, const char* prompt) {
  int32_t mark = StringBuffer.used;
  InputRequester(title, prompt, "", mark);
  StringAssignFromBuffer(answer, mark);
}

// Every other event is ignored.
void WaitFor(int32_t code) {
  do {
    App.event = EventWait();
  } while (App.event != code);
}

void ResultShow() {
  if (WindowOpen(0, 245, 38, 494, 205, "Ergebnis", kResultFlags)) {
    for (const ResultGadget& g : kResultGadgets) {
      if (g.frame) {
        FrameGadgetCreate(g.number, g.x, g.y, g.width, g.height, g.text);
      } else {
        StringGadgetCreate(g.number, g.x, g.y, g.width, g.height, g.text, kReadOnly);
      }
    }
  }
  GadgetSetColor(11, kBackgroundColour, static_cast<int32_t>(AdviceChoose(&App)));
  for (const ResultText& t : kResultTexts) GadgetSetText(t.number, App.*t.text);
}

}  // namespace

int main() {
  RuntimeStart();
  Ask(&App.weightText, "Waagenfuchs", "Bitte Gewicht (in Kg) eingeben");
  Ask(&App.heightText, "Waagefuchs", "Bitte K\xF6rpergr\xF6\xDF" "e (in cm) eingeben");

  if (!WindowOpen(0, 216, 0, 124, 133, "Waagenfuchs", kChoiceFlags)) {
    RuntimeEndWith(kExitNoChoiceWindow);
  }
  OptionGadgetCreate(0, 30, 80, 110, 30, "m\xE4nlich");
  OptionGadgetCreate(1, 30, 30, 110, 30, "weiblich");
  WaitFor(EventCodeGadget);
  Sleep(250);
  App.sex = EventGadgetNumber() ? 2 : 1;
  WindowClose(0);

  AssessmentCompute(&App);
  ResultShow();
  WaitFor(EventCodeClose);
  RuntimeEnd();
}
