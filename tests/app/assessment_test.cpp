#include "app/assessment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const char kUnder[] = "Du hast Untergewicht.";
const char kNormal[] = "Du hast Normalgewicht.";
const char kOver[] = "Du hast \xDC" "bergewicht.";
const char kObese[] = "Du hast Adipositas.";
const char kSevere[] = "Du hast starke Adipositas.";

std::string Text(StringVariable v) {
  return v ? v : "";
}

// A fresh AppState per case, released afterwards so that nothing outlives the test.
class Assessment {
 public:
  Assessment(const char* weight, const char* height, int32_t sex) {
    StringAssign(&state.weightText, weight);
    StringAssign(&state.heightText, height);
    state.sex = sex;
    AssessmentCompute(&state);
    colour = AdviceChoose(&state);
  }
  ~Assessment() {
    for (StringVariable* v : {&state.weightText, &state.heightText, &state.bmiText, &state.normalText,
                              &state.idealText, &state.classText, &state.normalDiffText, &state.normalVerdict,
                              &state.idealDiffText, &state.idealVerdict, &state.adviceText}) {
      StringAssign(v, nullptr);
    }
  }
  AppState state{};
  uint32_t colour;
};

TEST(AssessmentTest, WholeResultTable) {
  struct Case {
    const char* weight;
    const char* height;
    int32_t sex;
    const char* bmi;
    const char* normal;
    const char* ideal;
    const char* cls;
    const char* normalVerdict;
    const char* idealVerdict;
  } const cases[] = {
      {"90", "200", 1, "22", "100", "90", kNormal, "Du bist 10 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht."},
      {"90", "200", 2, "22", "100", "90", kNormal, "Du bist 10 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht."},
      {"80", "180", 1, "25", "80", "72", kNormal, "Du hast Normalgewicht.", "Du bist 8 Kg \xFC" "ber deinem Idealgewicht."},
      {"80", "180", 2, "25", "80", "72", kOver, "Du hast Normalgewicht.", "Du bist 8 Kg \xFC" "ber deinem Idealgewicht."},
      {"72", "180", 1, "22", "80", "72", kNormal, "Du bist 8 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht."},
      {"72", "175", 1, "24", "75", "68", kNormal, "Du bist 3 Kg unter deinem Normalgewich.t", "Du bist 4 Kg \xFC" "ber deinem Idealgewicht."},
      {"76", "185", 1, "22", "85", "76", kNormal, "Du bist 9 Kg unter deinem Normalgewich.t", "Du bist 0 Kg unter deinem Idealgewicht."},
      {"77", "185", 1, "22", "85", "76", kNormal, "Du bist 8 Kg unter deinem Normalgewich.t", "Du bist 0 Kg \xFC" "ber deinem Idealgewicht."},
      {"72.5", "180", 1, "22", "80", "72", kNormal, "Du bist 8 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht."},
      {" 72", "180", 1, "22", "80", "72", kNormal, "Du bist 8 Kg unter deinem Normalgewich.t", "Du hast Idealgewicht."},
      {"70", "", 1, "-9223372036854775808", "-100", "-90", kSevere, "Du bist 170 Kg \xFC" "ber deinem Normalgewich.t", "Du bist 160 Kg \xFC" "ber deinem Idealgewicht."},
      {nullptr, nullptr, 1, "-9223372036854775808", "-100", "-90", kUnder, "Du bist 100 Kg \xFC" "ber deinem Normalgewich.t", "Du bist 90 Kg \xFC" "ber deinem Idealgewicht."},
      {"-70", "0", 2, "-9223372036854775808", "-100", "-90", kUnder, "Du bist 30 Kg \xFC" "ber deinem Normalgewich.t", "Du bist 20 Kg \xFC" "ber deinem Idealgewicht."},
      {"-5", "170", 1, "-2", "70", "63", kUnder, "Du bist 75 Kg unter deinem Normalgewich.t", "Du bist 68 Kg unter deinem Idealgewicht."},
      {"ca. 72", "180", 1, "0", "80", "72", kUnder, "Du bist 80 Kg unter deinem Normalgewich.t", "Du bist 72 Kg unter deinem Idealgewicht."},
      {"9223372036854775807", "1", 1, "-9223372036854775808", "-99", "-89", kSevere,
       "Du bist -9223372036854775808 Kg \xFC" "ber deinem Normalgewich.t", "Du bist -9223372036854775808 Kg \xFC" "ber deinem Idealgewicht."},
  };
  for (const Case& c : cases) {
    Assessment a(c.weight, c.height, c.sex);
    SCOPED_TRACE(testing::Message() << (c.weight ? c.weight : "(null)") << " kg, " << (c.height ? c.height : "(null)")
                                    << " cm, sex " << c.sex);
    EXPECT_EQ(Text(a.state.bmiText), c.bmi);
    EXPECT_EQ(Text(a.state.normalText), c.normal);
    EXPECT_EQ(Text(a.state.idealText), c.ideal);
    EXPECT_EQ(Text(a.state.classText), c.cls);
    EXPECT_EQ(Text(a.state.normalVerdict), c.normalVerdict);
    EXPECT_EQ(Text(a.state.idealVerdict), c.idealVerdict);
  }
}

// Exactly at a threshold the higher class holds; just below, the lower one.
TEST(AssessmentTest, ClassAtAndBelowEveryThreshold) {
  struct Case {
    const char* weight;
    const char* height;
    int32_t sex;
    const char* cls;
  } const cases[] = {
      {"79", "200", 1, kUnder},  {"80", "200", 1, kNormal},  {"45", "150", 1, kNormal},
      {"99", "200", 1, kNormal}, {"100", "200", 1, kOver},   {"119", "200", 1, kOver},
      {"120", "200", 1, kObese}, {"159", "200", 1, kObese},  {"160", "200", 1, kSevere},
      {"75", "200", 2, kUnder},  {"76", "200", 2, kNormal},  {"95", "200", 2, kNormal},
      {"96", "200", 2, kOver},   {"119", "200", 2, kOver},   {"120", "200", 2, kObese},
      {"159", "200", 2, kObese}, {"160", "200", 2, kSevere},
  };
  for (const Case& c : cases) {
    Assessment a(c.weight, c.height, c.sex);
    EXPECT_EQ(Text(a.state.classText), c.cls) << c.weight << " kg, " << c.height << " cm, sex " << c.sex;
  }
}

TEST(AssessmentTest, KeepsUnroundedNumbers) {
  Assessment a("76", "185", 1);
  EXPECT_EQ(a.state.height, 185.0);
  EXPECT_EQ(a.state.weight, 76.0);
  EXPECT_EQ(a.state.normalWeight, 85.0);
  EXPECT_EQ(a.state.idealWeight, 76.5);
  EXPECT_EQ(Text(a.state.idealDiffText), "0");
  EXPECT_EQ(Text(a.state.normalDiffText), "9");

  Assessment zero("0", "0", 1);
  EXPECT_TRUE(std::isnan(zero.state.bmi));
}

TEST(AssessmentTest, EqualWeightLeavesDifferenceTextAlone) {
  Assessment a("80", "180", 1);
  EXPECT_EQ(a.state.normalDiffText, nullptr);
  EXPECT_EQ(Text(a.state.idealDiffText), "8");
}

TEST(AdviceChooseTest, Table) {
  struct Case {
    const char* cls;
    const char* advice;
    uint32_t colour;
  } const cases[] = {
      {kUnder, "Bitte achte mehr auf deine Ern\xE4hrung.", 0x0000FFFF},
      {kOver, "Bitte achte mehr auf deine Ern\xE4hrung.", 0x0000FFFF},
      {kObese, "Bitte suche einen Artzt auf!", 0x0001B1FF},
      {kSevere, "Bitte suche einen Arzt auf!", 0x000066FF},
      {kNormal, "Alles Ok.", 0x0000CC00},
      {nullptr, "Alles Ok.", 0x0000CC00},
      {"", "Alles Ok.", 0x0000CC00},
      {"du hast untergewicht.", "Alles Ok.", 0x0000CC00},
  };
  for (const Case& c : cases) {
    AppState state{};
    StringAssign(&state.classText, c.cls);
    EXPECT_EQ(AdviceChoose(&state), c.colour) << (c.cls ? c.cls : "(null)");
    EXPECT_EQ(Text(state.adviceText), c.advice);
    StringAssign(&state.classText, nullptr);
    StringAssign(&state.adviceText, nullptr);
  }
}

TEST(ColorRGBTest, ComponentsCarryUnmasked) {
  EXPECT_EQ(ColorRGB(255, 255, 0), 65535u);
  EXPECT_EQ(ColorRGB(255, 433, 0), 111103u);
  EXPECT_EQ(ColorRGB(255, 102, 0), 26367u);
  EXPECT_EQ(ColorRGB(0, 204, 0), 52224u);
  EXPECT_EQ(ColorRGB(0, 0, 255), 0x00FF0000u);
  EXPECT_EQ(ColorRGB(256, 0, 0), 0x00000100u);
}

TEST(RoundToInt64Test, HalvesToEvenAndOutOfRangeToMinimum) {
  struct Case {
    double value;
    int64_t rounded;
  } const cases[] = {
      {22.5, 22},
      {67.5, 68},
      {76.5, 76},
      {0.5, 0},
      {-0.5, 0},
      {-1.5, -2},
      {2.4999999999999996, 2},
      {-9223372036854775808.0, INT64_MIN},
      {9223372036854774784.0, 9223372036854774784},  // the largest double below 2^63
      {9223372036854775808.0, INT64_MIN},
      {1e300, INT64_MIN},
      {-1e300, INT64_MIN},
      {INFINITY, INT64_MIN},
      // float to double only widens: clang-tidy 14 takes the negated constant for a narrowing
      // NOLINTNEXTLINE(bugprone-narrowing-conversions)
      {-INFINITY, INT64_MIN},
      {NAN, INT64_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundToInt64(c.value), c.rounded) << c.value;
}

}  // namespace
