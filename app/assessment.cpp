#include "app/assessment.h"

#include "runtime/number_text.h"

#include <cfloat>
#include <cmath>

// Every operation must round to a 64-bit double: x87 registers would keep 80-bit intermediates
// and move results across class thresholds. The i686 build does its arithmetic in SSE2.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use extended precision");

namespace {

constexpr double kCentimetresPerMetre = 100.0;
constexpr double kNormalOffset = -100.0;
constexpr double kIdealFactor = 0.9;

// The class thresholds of one sex, ascending.
struct Thresholds {
  double t1, t2, t3, t4;
};
constexpr Thresholds kMen = {20.0, 25.0, 30.0, 40.0};
constexpr Thresholds kWomen = {19.0, 24.0, 30.0, 40.0};

const char kUnderweight[] = "Du hast Untergewicht.";
const char kNormal[] = "Du hast Normalgewicht.";
const char kOverweight[] =
    "Du hast \xDC"
    "bergewicht.";
const char kObese[] = "Du hast Adipositas.";
const char kSeverelyObese[] = "Du hast starke Adipositas.";

// target = decimal text of the rounded value, built in the buffer above the current mark.
void AssignNumber(StringVariable* target, double value) {
  int32_t mark = StringBuffer.used;
  Int64ToText(RoundToInt64(value), mark);
  StringAssignFromBuffer(target, mark);
}

// target = head + number + tail.
void AssignSentence(StringVariable* target, const char* head, const char* number,
                    const char* tail) {
  int32_t mark = StringBuffer.used;
  StringBufferAppend(head);
  StringBufferAppend(number);
  StringBufferAppend(tail);
  StringAssignFromBuffer(target, mark);
}

// A threshold value belongs to the class above it; not a number fails every test and stays in
// the first class.
const char* ClassSentence(double bmi, const Thresholds& limits) {
  if (!(bmi >= limits.t1)) return kUnderweight;
  if (bmi < limits.t2) return kNormal;
  if (bmi < limits.t3) return kOverweight;
  if (bmi < limits.t4) return kObese;
  return kSeverelyObese;
}

// Compares weight with a reference weight and sets the difference text and the verdict. When
// they are equal the difference text keeps its old value.
void Verdict(double weight, double reference, StringVariable* diffText, StringVariable* verdict,
             const char* underTail, const char* overTail, const char* equalSentence) {
  if (weight < reference) {
    AssignNumber(diffText, reference - weight);
    AssignSentence(verdict, "Du bist ", *diffText, underTail);
  } else if (weight > reference) {
    AssignNumber(diffText, weight - reference);
    AssignSentence(verdict, "Du bist ", *diffText, overTail);
  } else {
    StringAssign(verdict, equalSentence);
  }
}

}  // namespace

int64_t RoundToInt64(double value) {
  // nearbyint rounds in the default mode, to nearest with halves to even.
  double rounded = std::nearbyint(value);
  if (rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0) {
    return static_cast<int64_t>(rounded);
  }
  return INT64_MIN;
}

uint32_t ColorRGB(int32_t red, int32_t green, int32_t blue) {
  return static_cast<uint32_t>(red) + static_cast<uint32_t>(green) * 256u +
         static_cast<uint32_t>(blue) * 65536u;
}

void AssessmentCompute(AppState* s) {
  s->height = static_cast<double>(TextToInteger(s->heightText));
  s->weight = static_cast<double>(TextToInteger(s->weightText));
  s->bmi = s->weight / ((s->height / kCentimetresPerMetre) * (s->height / kCentimetresPerMetre));
  s->normalWeight = s->height + kNormalOffset;
  s->idealWeight = (s->height + kNormalOffset) * kIdealFactor;

  AssignNumber(&s->bmiText, s->bmi);
  AssignNumber(&s->normalText, s->normalWeight);
  AssignNumber(&s->idealText, s->idealWeight);

  StringAssign(&s->classText, ClassSentence(s->bmi, s->sex == 2 ? kWomen : kMen));

  Verdict(s->weight, s->normalWeight, &s->normalDiffText, &s->normalVerdict,
          " Kg unter deinem Normalgewich.t",
          " Kg \xFC"
          "ber deinem Normalgewich.t",
          kNormal);
  Verdict(s->weight, s->idealWeight, &s->idealDiffText, &s->idealVerdict,
          " Kg unter deinem Idealgewicht.",
          " Kg \xFC"
          "ber deinem Idealgewicht.",
          "Du hast Idealgewicht.");
}

uint32_t AdviceChoose(AppState* s) {
  const char* advice;
  uint32_t colour;
  if (StringEqual(s->classText, kUnderweight) || StringEqual(s->classText, kOverweight)) {
    advice = "Bitte achte mehr auf deine Ern\xE4hrung.";
    colour = ColorRGB(255, 255, 0);
  } else if (StringEqual(s->classText, kObese)) {
    advice = "Bitte suche einen Artzt auf!";
    colour = ColorRGB(255, 433, 0);
  } else if (StringEqual(s->classText, kSeverelyObese)) {
    advice = "Bitte suche einen Arzt auf!";
    colour = ColorRGB(255, 102, 0);
  } else {
    advice = "Alles Ok.";
    colour = ColorRGB(0, 204, 0);
  }
  StringAssign(&s->adviceText, advice);
  return colour;
}
