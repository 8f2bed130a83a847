// The program's entry point: asks for the weight and the height, then the sex, and shows the
// assessment until the user closes the result window.
#include "app/assessment.h"
#include "app/result_window.h"
#include "frame/startup.h"
#include "gadget/option_gadget.h"
#include "requester/input_requester.h"
#include "runtime/strings.h"
#include "window/event.h"
#include "window/window.h"

namespace {

AppState App;

constexpr uint32_t kChoiceFlags = WS_CAPTION | WS_THICKFRAME | WindowFlagCentreScreen;
// Ends the run when the choice window cannot be opened: no answer could ever come.
constexpr UINT kExitNoChoiceWindow = 2;

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

}  // namespace

int main() {
  RuntimeStart();
  Ask(&App.weightText, "Waagenfuchs", "Bitte Gewicht (in Kg) eingeben");
  Ask(&App.heightText, "Waagefuchs",
      "Bitte K\xF6rpergr\xF6\xDF"
      "e (in cm) eingeben");

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
  ResultWindowShow(&App);
  WaitFor(EventCodeClose);
  RuntimeEnd();
}
