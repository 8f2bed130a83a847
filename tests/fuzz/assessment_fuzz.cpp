// The assessment on any two entered texts and either sex. The input is one byte for the sex (odd:
// man, even: woman), then the weight text up to a NUL, then the height text up to the next NUL
// or the end. Whatever the texts, the results must be one of the defined class sentences, with
// the advice sentence and colour that belong to it, number texts in plain decimal that read back
// to the rounded values (rounded here by floor and the halfway rule, not by the code's routine),
// and verdicts built from the difference texts; the buffer must be empty again and no block left
// behind once the variables are freed.
#include "app/assessment.h"
#include "runtime/number_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

const char kOverTail[] = " Kg \xFC" "ber deinem ";
const char kUnderTail[] = " Kg unter deinem ";

// A class sentence with its advice sentence and colour, and the lowest index of the class for
// each sex (a value at a threshold belongs to the class above it).
struct Class {
  const char* sentence;
  const char* advice;
  uint32_t colour;
  double manFrom;
  double womanFrom;
};
const Class kClasses[] = {
    {"Du hast Untergewicht.", "Bitte achte mehr auf deine Ern\xE4hrung.", 0x0000FFFF, -INFINITY, -INFINITY},
    {"Du hast Normalgewicht.", "Alles Ok.", 0x0000CC00, 20.0, 19.0},
    {"Du hast \xDC" "bergewicht.", "Bitte achte mehr auf deine Ern\xE4hrung.", 0x0000FFFF, 25.0, 24.0},
    {"Du hast Adipositas.", "Bitte suche einen Artzt auf!", 0x0001B1FF, 30.0, 30.0},
    {"Du hast starke Adipositas.", "Bitte suche einen Arzt auf!", 0x000066FF, 40.0, 40.0},
};

// The nearest integer, halves to the even one; -2^63 for what is not a number, is infinite or
// does not fit. x - floor(x) is exact for every finite double.
int64_t Rounded(double value) {
  double whole = std::floor(value);
  double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(whole >= -kTwoTo63 && whole < kTwoTo63)) return INT64_MIN;
  return static_cast<int64_t>(whole);
}

std::string Decimal(int64_t value) {
  char digits[24];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string Text(StringVariable variable) {
  return variable ? variable : "";
}

// A number text must be the plain decimal of the rounded value, and read back to it.
void CheckNumber(const char* name, StringVariable text, double value) {
  int64_t expected = Rounded(value);
  Require(Text(text) == Decimal(expected), "%s is \"%s\", expected %lld", name, Text(text).c_str(),
          static_cast<long long>(expected));
  Require(TextToInteger(text) == expected, "%s reads back as %lld", name, static_cast<long long>(TextToInteger(text)));
}

// The verdict for weight against a reference: the difference text and a sentence around it, or
// the equal sentence with the difference text untouched (still null on a fresh state).
void CheckVerdict(const char* name, double weight, double reference, StringVariable diffText, StringVariable verdict,
                  const char* subject, const char* equalSentence) {
  if (weight == reference) {
    Require(Text(verdict) == equalSentence && diffText == nullptr, "%s: \"%s\" for equal weights", name,
            Text(verdict).c_str());
    return;
  }
  CheckNumber(name, diffText, weight < reference ? reference - weight : weight - reference);
  std::string expected = "Du bist " + Text(diffText) + (weight < reference ? kUnderTail : kOverTail) + subject;
  Require(Text(verdict) == expected, "%s is \"%s\"", name, Text(verdict).c_str());
}

void CheckAssessment(const AppState& s, const char* weightText, const char* heightText) {
  double height = static_cast<double>(TextToInteger(heightText));
  double weight = static_cast<double>(TextToInteger(weightText));
  Require(s.height == height && s.weight == weight, "read %g and %g from the texts, expected %g and %g", s.weight,
          s.height, weight, height);
  Require(s.normalWeight == height - 100.0 && s.idealWeight == (height - 100.0) * 0.9,
          "normal weight %g, ideal weight %g for height %g", s.normalWeight, s.idealWeight, height);
  double bmi = weight / ((height / 100.0) * (height / 100.0));
  Require(s.bmi == bmi || (std::isnan(s.bmi) && std::isnan(bmi)), "bmi %g, expected %g", s.bmi, bmi);
  CheckNumber("bmiText", s.bmiText, s.bmi);
  CheckNumber("normalText", s.normalText, s.normalWeight);
  CheckNumber("idealText", s.idealText, s.idealWeight);

  // The highest class whose lower bound the index reaches; not a number reaches none.
  const Class* expected = &kClasses[0];
  for (const Class& c : kClasses) {
    if (bmi >= (s.sex == 2 ? c.womanFrom : c.manFrom)) expected = &c;
  }
  Require(Text(s.classText) == expected->sentence, "class \"%s\" for bmi %g, sex %d", Text(s.classText).c_str(), bmi,
          s.sex);

  CheckVerdict("normal verdict", weight, s.normalWeight, s.normalDiffText, s.normalVerdict, "Normalgewich.t",
               "Du hast Normalgewicht.");
  CheckVerdict("ideal verdict", weight, s.idealWeight, s.idealDiffText, s.idealVerdict, "Idealgewicht.",
               "Du hast Idealgewicht.");
}

void CheckAdvice(const AppState& s, uint32_t colour) {
  for (const Class& c : kClasses) {
    if (Text(s.classText) != c.sentence) continue;
    Require(Text(s.adviceText) == c.advice && colour == c.colour, "advice \"%s\", colour 0x%08X for \"%s\"",
            Text(s.adviceText).c_str(), colour, c.sentence);
  }
}

void FreeTexts(AppState& s) {
  for (StringVariable* v : {&s.weightText, &s.heightText, &s.bmiText, &s.normalText, &s.idealText, &s.classText,
                            &s.normalDiffText, &s.normalVerdict, &s.idealDiffText, &s.idealVerdict, &s.adviceText}) {
    StringAssign(v, nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  StringManagerRestart();
  FuzzText weight(data + 1, size - 1);
  size_t rest = size - 1 - weight.length();
  FuzzText height(data + 1 + weight.length() + (rest > 0 ? 1 : 0), rest > 0 ? rest - 1 : 0);

  AppState s{};
  s.sex = data[0] % 2 ? 1 : 2;
  StringAssign(&s.weightText, weight.text());
  StringAssign(&s.heightText, height.text());
  AssessmentCompute(&s);
  CheckAssessment(s, weight.text(), height.text());
  CheckAdvice(s, AdviceChoose(&s));
  Require(StringBuffer.used == 0, "the assessment left %d bytes in the buffer", StringBuffer.used);

  FreeTexts(s);
  Require(BusyBlocks(StringHeap) == 1, "%d blocks left on the StringHeap", BusyBlocks(StringHeap));
  return 0;
}
