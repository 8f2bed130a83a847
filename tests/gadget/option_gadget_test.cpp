#include "gadget/option_gadget.h"

#include "gadget/string_gadget.h"
#include "tests/gadget/gadget_fixture.h"

namespace {

void OptionsCreate(std::initializer_list<intptr_t> numbers) {
  for (intptr_t number : numbers) {
    OptionGadgetCreate(number, 10, static_cast<int>(25 * number), 100, 20, "Option");
  }
}

TEST_F(GadgetTest, OptionStartsAGroupAfterAnythingButAnOption) {
  OptionsCreate({1, 2});
  StringGadgetCreate(3, 120, 0, 80, 20, "", 0);
  OptionsCreate({4});
  GadgetListUse(nullptr);  // asking ends no run
  OptionsCreate({5});
  GadgetListUse(window_);
  OptionsCreate({6});
  std::vector<bool> groups;
  for (intptr_t number : {1, 2, 4, 5, 6}) {
    groups.push_back(GetWindowLongPtrA(ControlOf(number), GWL_STYLE) & WS_GROUP);
  }
  EXPECT_EQ(groups, (std::vector<bool>{true, false, true, false, true}));
}

TEST_F(GadgetTest, SetStateChecksOneOptionAndClearsOnlyItsGroup) {
  OptionsCreate({1, 2, 3});
  GadgetListUse(window_);  // 4 and 5 form a second group right behind the first
  OptionsCreate({4, 5});
  GadgetSetState(5, 1);
  struct Step {
    intptr_t number;
    int32_t state;
    std::vector<int32_t> states;  // of 1 to 5 afterwards
  } const steps[] = {
      {2, 1, {0, 1, 0, 0, 1}}, {3, 1, {0, 0, 1, 0, 1}}, {1, 7, {1, 0, 0, 0, 1}},
      {1, 0, {0, 0, 0, 0, 1}}, {4, 1, {0, 0, 0, 1, 0}},
  };
  for (const Step& s : steps) {
    GadgetSetState(s.number, s.state);
    std::vector<int32_t> states;
    for (intptr_t number = 1; number <= 5; ++number) states.push_back(GadgetGetState(number));
    EXPECT_EQ(states, s.states) << s.number << " set to " << s.state;
  }
}

}  // namespace
