// The whole program, used as a person uses it: one row of the table per run, from the first
// dialog to the exit code. Every run also checks the result window's place, size and labels.
// The rows include hostile entries and a user who tries to close the choice window, and a quit
// request that arrives while a dialog is open.
#include "tests/app/program_driver.h"
#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

// The version the Windows kernel reports, without the compatibility shims of GetVersionEx.
extern "C" LONG WINAPI RtlGetVersion(OSVERSIONINFOW* version);

namespace {

const std::string kProgramPath = ProgramUnderTest(PROGRAM_PATH);

constexpr int kMan = 0;    // gadget "m\xE4nlich"
constexpr int kWoman = 1;  // gadget "weiblich"

constexpr COLORREF kGreen = 0x0000CC00;
constexpr COLORREF kYellow = 0x0000FFFF;
constexpr COLORREF kOrange = 0x0001B1FF;
constexpr COLORREF kRed = 0x000066FF;

constexpr char kUnder[] = "Du hast Untergewicht.";
constexpr char kNormal[] = "Du hast Normalgewicht.";
constexpr char kOver[] = "Du hast \xDC" "bergewicht.";
constexpr char kObese[] = "Du hast Adipositas.";
constexpr char kSeverelyObese[] = "Du hast starke Adipositas.";
constexpr char kAdviceFood[] = "Bitte achte mehr auf deine Ern\xE4hrung.";
constexpr char kAdviceDoctorTypo[] = "Bitte suche einen Artzt auf!";
constexpr char kAdviceDoctor[] = "Bitte suche einen Arzt auf!";
constexpr char kAdviceOk[] = "Alles Ok.";

// What happens to the choice window while it waits, before the option is clicked.
enum class ChoiceDisturbance {
  None,
  Move,    // moved from outside
  Resize,  // resized from outside
  AltF4,   // Alt+F4 pressed, which asks the window to close
  Close,   // WM_CLOSE posted to it
};

// What the result window shows for one run.
struct Expected {
  const char* normal;         // gadget 3, normal weight
  const char* ideal;          // gadget 0, ideal weight
  const char* bmi;            // gadget 2, body mass index
  const char* normalVerdict;  // gadget 8
  const char* idealVerdict;   // gadget 10
  const char* classText;      // gadget 9
  const char* advice;         // gadget 11
  COLORREF colour;            // gadget 11's background
};

// Results that several rows share. 80 kg at 180 cm is a man's normal weight but a woman's
// overweight; 72 kg at 180 cm is exactly a man's ideal weight; 0 kg at 0 cm gives an index that
// is not a number, underweight for either sex.
constexpr Expected kManAt80Kg180Cm = {
    "80", "72", "25", "Du hast Normalgewicht.", "Du bist 8 Kg \xFC" "ber deinem Idealgewicht.",
    kNormal, kAdviceOk, kGreen};
constexpr Expected kWomanAt80Kg180Cm = {
    "80", "72", "25", "Du hast Normalgewicht.", "Du bist 8 Kg \xFC" "ber deinem Idealgewicht.",
    kOver, kAdviceFood, kYellow};
constexpr Expected kManAt72Kg180Cm = {
    "80", "72", "22", "Du bist 8 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht.",
    kNormal, kAdviceOk, kGreen};
constexpr Expected kZeroKgAtZeroCm = {
    "-100", "-90", "-9223372036854775808", "Du bist 100 Kg \xFC" "ber deinem Normalgewich.t",
    "Du bist 90 Kg \xFC" "ber deinem Idealgewicht.", kUnder, kAdviceFood, kYellow};

struct ProgramCase {
  const char* name;                // test name
  UserPlay play;                   // the entries and the clicked option
  ChoiceDisturbance disturbance;   // done to the choice window before the click
  Expected expected;               // the result window's texts and colour
};

void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.name; }

// Entries of 30,000 characters, as many as the dialog's field takes. Nines: 10^30000 - 1, which
// is -1 modulo 2^64. The height is 180 and a tail of blanks that reading stops before.
const std::string kWeightOf30000Nines(30000, '9');
const std::string kHeightOf30000Characters = "180cm" + std::string(29995, ' ');

// Men at 180 cm (normal weight 80, ideal 72), women at 170 cm (normal 70, ideal 63).
const ProgramCase kCases[] = {
    {"ManUnderweight", {"55", "180", kMan}, ChoiceDisturbance::None,
     {"80", "72", "17", "Du bist 25 Kg unter deinem Normalgewich.t",
      "Du bist 17 Kg unter deinem Idealgewicht.", kUnder, kAdviceFood, kYellow}},
    {"ManNormal", {"80", "180", kMan}, ChoiceDisturbance::None, kManAt80Kg180Cm},
    {"ManOverweight", {"90", "180", kMan}, ChoiceDisturbance::None,
     {"80", "72", "28", "Du bist 10 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 18 Kg \xFC" "ber deinem Idealgewicht.", kOver, kAdviceFood, kYellow}},
    {"ManObese", {"110", "180", kMan}, ChoiceDisturbance::None,
     {"80", "72", "34", "Du bist 30 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 38 Kg \xFC" "ber deinem Idealgewicht.", kObese, kAdviceDoctorTypo, kOrange}},
    {"ManSeverelyObese", {"140", "180", kMan}, ChoiceDisturbance::None,
     {"80", "72", "43", "Du bist 60 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 68 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese, kAdviceDoctor, kRed}},
    {"WomanUnderweight", {"50", "170", kWoman}, ChoiceDisturbance::None,
     {"70", "63", "17", "Du bist 20 Kg unter deinem Normalgewich.t",
      "Du bist 13 Kg unter deinem Idealgewicht.", kUnder, kAdviceFood, kYellow}},
    {"WomanNormal", {"60", "170", kWoman}, ChoiceDisturbance::None,
     {"70", "63", "21", "Du bist 10 Kg unter deinem Normalgewich.t",
      "Du bist 3 Kg unter deinem Idealgewicht.", kNormal, kAdviceOk, kGreen}},
    {"WomanOverweight", {"75", "170", kWoman}, ChoiceDisturbance::None,
     {"70", "63", "26", "Du bist 5 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 12 Kg \xFC" "ber deinem Idealgewicht.", kOver, kAdviceFood, kYellow}},
    {"WomanObese", {"95", "170", kWoman}, ChoiceDisturbance::None,
     {"70", "63", "33", "Du bist 25 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 32 Kg \xFC" "ber deinem Idealgewicht.", kObese, kAdviceDoctorTypo, kOrange}},
    {"WomanSeverelyObese", {"120", "170", kWoman}, ChoiceDisturbance::None,
     {"70", "63", "42", "Du bist 50 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 57 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese, kAdviceDoctor, kRed}},
    // The same entries as ManNormal: only the clicked option differs, and with it the class.
    {"WomanWithAMansNormalIndex", {"80", "180", kWoman}, ChoiceDisturbance::None,
     kWomanAt80Kg180Cm},
    // Escape in both dialogs: weight 0 and height 0, an index that is not a number.
    {"BothDialogsCancelled", {nullptr, nullptr, kMan}, ChoiceDisturbance::None, kZeroKgAtZeroCm},
    // Only the leading whole number counts: 72 kg, exactly the ideal weight at 180 cm.
    {"WeightWithDecimalComma", {"72,5", "180", kMan}, ChoiceDisturbance::None, kManAt72Kg180Cm},
    // A wait that ended on the move or size event would not take the later click on "weiblich":
    // the class would then be a man's.
    {"ChoiceWindowMovedFirst", {"80", "180", kWoman}, ChoiceDisturbance::Move, kWomanAt80Kg180Cm},
    {"ChoiceWindowResizedFirst", {"80", "180", kWoman}, ChoiceDisturbance::Resize,
     kWomanAt80Kg180Cm},
    // A close request only queues the close event: the window stays, takes the press, and the
    // click on "weiblich" decides. A wait that ended on the close would give a man's class.
    {"ChoiceWindowAltF4", {"80", "180", kWoman}, ChoiceDisturbance::AltF4, kWomanAt80Kg180Cm},
    {"ChoiceWindowClosePosted", {"80", "180", kWoman}, ChoiceDisturbance::Close, kWomanAt80Kg180Cm},

    // A quit request cancels the open dialog (the typed 80 is dropped) and is handed on: in the
    // weight dialog it cancels the height dialog as well, so 0 kg at 0 cm. The choice window's
    // wait then takes it as event 18 and goes on waiting; the run ends with 0 as always.
    {"QuitInWeightDialog", {"80", nullptr, kWoman, QuitPost::InWeightDialog},
     ChoiceDisturbance::None, kZeroKgAtZeroCm},
    // 80 kg at 0 cm: an infinite index.
    {"QuitInHeightDialog", {"80", "180", kMan, QuitPost::InHeightDialog}, ChoiceDisturbance::None,
     {"-100", "-90", "-9223372036854775808", "Du bist 180 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 170 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese, kAdviceDoctor, kRed}},

    // Hostile entries. A number is read as: blanks and tabs skipped, one sign, then decimal, "$"
    // hexadecimal or "%" binary digits up to the first other character, modulo 2^64.
    // -1 kg at 180 cm: a negative index.
    {"WeightOf30000Digits", {kWeightOf30000Nines.c_str(), "180", kMan}, ChoiceDisturbance::None,
     {"80", "72", "0", "Du bist 81 Kg unter deinem Normalgewich.t",
      "Du bist 73 Kg unter deinem Idealgewicht.", kUnder, kAdviceFood, kYellow}},
    {"HeightOf30000Characters", {"80", kHeightOf30000Characters.c_str(), kMan},
     ChoiceDisturbance::None, kManAt80Kg180Cm},
    // 200376420520689663 kg (the entry modulo 2^64), 200376420520689664 as a double, whose
    // neighbours are 32 apart: both differences round to 200376420520689600.
    {"WeightOf23Nines", {"99999999999999999999999", "180", kWoman}, ChoiceDisturbance::None,
     {"80", "72", "61844574234780760",
      "Du bist 200376420520689600 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 200376420520689600 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese,
      kAdviceDoctor, kRed}},
    // 15 kg at -1 cm.
    {"BinaryWeightHexHeight", {"%1111", "$FFFFFFFFFFFFFFFF", kMan}, ChoiceDisturbance::None,
     {"-101", "-91", "150000", "Du bist 116 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 106 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese, kAdviceDoctor, kRed}},
    // A sign without digits is 0: 0 kg at 0 cm, as with both dialogs cancelled.
    {"NegativeZeroAndLoneSign", {"-0", "+", kWoman}, ChoiceDisturbance::None, kZeroKgAtZeroCm},
    // 72 kg at 180 cm, as with "72,5".
    {"TabsAndBlanks", {"\t 72\t", " \t180 \t", kMan}, ChoiceDisturbance::None, kManAt72Kg180Cm},
    // "72\xBD" (72 and a half sign) is 72; "\xFC" "ber 180" starts with a letter: 0 cm.
    {"Latin1Letters", {"72\xBD", "\xFC" "ber 180", kWoman}, ChoiceDisturbance::None,
     {"-100", "-90", "-9223372036854775808", "Du bist 172 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 162 Kg \xFC" "ber deinem Idealgewicht.", kSeverelyObese, kAdviceDoctor, kRed}},
    // Neither a C hexadecimal prefix nor an exponent is read: 0 kg at 1 cm.
    {"HexPrefixAndExponent", {"0x10", "1e3", kWoman}, ChoiceDisturbance::None,
     {"-99", "-89", "0", "Du bist 99 Kg \xFC" "ber deinem Normalgewich.t",
      "Du bist 89 Kg \xFC" "ber deinem Idealgewicht.", kUnder, kAdviceFood, kYellow}},
};

// Moves the waiting choice window 200 pixels left and 150 down, or makes it 100 wider and 40
// higher, from outside as a window manager does; then checks that it is still there, changed,
// once the program has handled that and is back in its loop. A close request is only given: the
// driver's press that follows reaches the program after it.
void ChoiceDisturb(HWND choice, ChoiceDisturbance disturbance) {
  switch (disturbance) {
    case ChoiceDisturbance::None: return;
    case ChoiceDisturbance::AltF4: KeyPressWith(VK_MENU, VK_F4); return;
    case ChoiceDisturbance::Close:
      ASSERT_TRUE(PostMessageA(choice, WM_CLOSE, 0, 0)) << "error " << GetLastError();
      return;
    case ChoiceDisturbance::Move:
    case ChoiceDisturbance::Resize: break;
  }
  bool move = disturbance == ChoiceDisturbance::Move;
  RECT before;
  GetWindowRect(choice, &before);
  RECT clientBefore;
  GetClientRect(choice, &clientBefore);
  int x = before.left - (move ? 200 : 0);
  int y = before.top + (move ? 150 : 0);
  int grow = move ? 0 : 100;
  int growHigher = move ? 0 : 40;
  ASSERT_TRUE(SetWindowPos(choice, nullptr, x, y, before.right - before.left + grow,
                           before.bottom - before.top + growHigher,
                           SWP_NOZORDER | SWP_NOACTIVATE))
      << "error " << GetLastError();
  ASSERT_TRUE(WindowPaintedAwait(choice));
  ASSERT_TRUE(IsWindowVisible(choice)) << "the choice window went after it was changed";
  RECT after;
  GetWindowRect(choice, &after);
  RECT clientAfter;
  GetClientRect(choice, &clientAfter);
  EXPECT_EQ(after.left, x);
  EXPECT_EQ(after.top, y);
  EXPECT_EQ(clientAfter.right, clientBefore.right + grow);
  EXPECT_EQ(clientAfter.bottom, clientBefore.bottom + growHigher);
}

class ProgramTest : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramTest, ShowsTheAssessmentAndEndsWithCodeZero) {
  const ProgramCase& c = GetParam();
  ResultSeen seen;
  bool played = ProgramPlay(
      kProgramPath.c_str(), c.play,
      [&](ProgramStep step, HWND window) {
        if (step == ProgramStep::ChoiceShown) ChoiceDisturb(window, c.disturbance);
      },
      &seen);
  ASSERT_TRUE(played);
  const Expected& e = c.expected;
  const char* expected[12] = {e.ideal,          "...Normalgewicht", e.bmi,        e.normal,
                              "...BMI-Index",   "...Idealgewicht",  "Dein...",    "Auswertung",
                              e.normalVerdict,  e.classText,        e.idealVerdict, e.advice};
  for (int gadget = 0; gadget < 12; ++gadget) {
    EXPECT_EQ(seen.texts[gadget], expected[gadget]) << "gadget " << gadget;
  }
  EXPECT_EQ(seen.adviceColour, e.colour)
      << std::hex << "got 0x" << seen.adviceColour << ", expected 0x" << e.colour;
  EXPECT_EQ(seen.position.x, 245);
  EXPECT_EQ(seen.position.y, 38);
  EXPECT_EQ(seen.client.cx, 494);
  EXPECT_EQ(seen.client.cy, 205);
  EXPECT_EQ(seen.exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(Runs, ProgramTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ProgramCase>& info) {
                           return std::string(info.param.name);
                         });

// The table also runs in prefixes that report other Windows versions (tests/CMakeLists.txt); a
// prefix that reported another version than the one it was made for would prove nothing there.
TEST(Prefix, ReportsTheWindowsVersionItWasMadeFor) {
  struct WindowsVersion {
    const char* name;  // the prefix's Version value
    DWORD major;       // the version number the kernel reports for it
    DWORD minor;       // and its second part
  };
  static const WindowsVersion kVersions[] = {{"winxp64", 5, 2}, {"win7", 6, 1}, {"win10", 10, 0}};
  // Wine's ntdll alone exports its version: on Windows (the test kit) there is no prefix to check.
  if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "not under Wine, so no prefix made for a Windows version";
  }
  // The scripts' choice; the project's own prefix, without one, reports Windows 7.
  const char* asked = getenv("WINE_WINDOWS_VERSION");
  std::string name = asked && *asked ? asked : "win7";
  OSVERSIONINFOW reported = {};
  reported.dwOSVersionInfoSize = sizeof reported;
  ASSERT_EQ(RtlGetVersion(&reported), 0);
  for (const WindowsVersion& version : kVersions) {
    if (name != version.name) continue;
    EXPECT_EQ(reported.dwMajorVersion, version.major) << name;
    EXPECT_EQ(reported.dwMinorVersion, version.minor) << name;
    return;
  }
  ADD_FAILURE() << "no expected numbers for the version \"" << name << "\"";
}

}  // namespace
