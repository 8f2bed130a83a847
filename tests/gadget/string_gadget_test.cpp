#include "gadget/string_gadget.h"

#include "tests/gadget/gadget_fixture.h"

namespace {

// What the field's own painting gets from its parent, and the background it then shows.
TEST_F(GadgetTest, FieldColoursReachTheDeviceContextTheFieldPaintsWith) {
  const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
  struct Case {
    uint32_t flags;
    bool enabled;
    int32_t front, back;
    UINT message;     // what the field sends
    COLORREF text;    // in the device context after the answer
    COLORREF shown;   // background, in the device context and on the display
    int brushColour;  // system colour of the answered brush; -1 for the field's own brush
  } const cases[] = {
      {0, true, -1, 0x00FF00, WM_CTLCOLOREDIT, 0x000000, 0x00FF00, -1},
      {0, true, 0x0000FF, -1, WM_CTLCOLOREDIT, 0x0000FF, highlight, COLOR_BTNHIGHLIGHT},
      {0x800, true, 0x0000FF, -1, WM_CTLCOLORSTATIC, 0x0000FF, highlight, COLOR_BTNHIGHLIGHT},
      {0x800, true, 0xFF0000, 0x00FFFF, WM_CTLCOLORSTATIC, 0xFF0000, 0x00FFFF, -1},
      {0x800, false, 0xFF0000, 0x00FFFF, WM_CTLCOLORSTATIC, windowText, face, COLOR_BTNFACE},
      {0x800, true, -1, -1, WM_CTLCOLORSTATIC, windowText, face, COLOR_BTNFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    HWND field = reinterpret_cast<HWND>(StringGadgetCreate(1, 10, 10, 100, 24, "", c.flags));
    GadgetSetColor(1, GadgetColorText, c.front);
    GadgetSetColor(1, GadgetColorBack, c.back);
    EnableWindow(field, c.enabled);
    ColoursSeen.clear();
    RedrawWindow(field, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ASSERT_FALSE(ColoursSeen.empty());
    const ColourMessage& seen = ColoursSeen.back();
    EXPECT_EQ(seen.control, field);
    EXPECT_EQ(seen.message, c.message);
    EXPECT_EQ(seen.text, c.text);
    EXPECT_EQ(seen.back, c.shown);
    HBRUSH brush = c.brushColour < 0 ? GadgetFind(1)->brush : GetSysColorBrush(c.brushColour);
    EXPECT_EQ(seen.answer, reinterpret_cast<LRESULT>(brush));
    RECT client;
    GetClientRect(field, &client);
    EXPECT_EQ(ClientPixel(field, client.right - 3, client.bottom / 2), c.shown);
    EXPECT_EQ(GadgetGetColor(1, 3), -1);
  }
}

// The event is already in the window's queue when the Edit procedure notifies the parent.
TEST_F(GadgetTest, FocusChangesAreReportedBeforeTheFieldHandlesThem) {
  HWND first = reinterpret_cast<HWND>(StringGadgetCreate(1, 10, 10, 100, 24, "", 0));
  intptr_t second = StringGadgetCreate(-1, 10, 50, 100, 24, "", 0);
  MouseClickOn(first);
  ASSERT_TRUE(PumpUntil([] { return FocusSeen.size() == 1; }));
  MouseClickOn(ControlOf(second));
  ASSERT_TRUE(PumpUntil([] { return FocusSeen.size() == 3; }));
  std::string dynamic = std::to_string(second);
  EXPECT_EQ(FocusSeen, (std::vector<std::string>{"256 1 14000", "512 1 14001",
                                                 "256 " + dynamic + " 14000"}));
}

}  // namespace
