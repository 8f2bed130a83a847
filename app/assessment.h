// The assessment rules: from the entered weight and height texts and the chosen sex to every
// number, sentence and colour the result window shows.
#pragma once

#include "runtime/strings.h"

#include <cstdint>

// The application's variables. One instance lives for the whole run; it starts all zero (every
// text empty, every number 0). The texts belong to their variables (see StringVariable).
struct AppState {
  StringVariable weightText;      // weight in kg as entered
  StringVariable heightText;      // height in cm as entered
  int32_t event;                  // last event code of the event wait
  int32_t sex;                    // 1 man, 2 woman
  StringVariable bmiText;         // body mass index, rounded
  StringVariable normalText;      // normal weight, rounded
  StringVariable idealText;       // ideal weight, rounded
  StringVariable classText;       // weight class sentence
  StringVariable normalDiffText;  // |weight - normal weight|, rounded; kept when they are equal
  StringVariable normalVerdict;   // weight against normal weight
  StringVariable idealDiffText;   // |weight - ideal weight|, rounded; kept when they are equal
  StringVariable idealVerdict;    // weight against ideal weight
  StringVariable adviceText;      // advice sentence (AdviceChoose)
  double height;                  // cm
  double weight;                  // kg
  double bmi;                     // weight / (height in m)^2
  double normalWeight;            // height - 100
  double idealWeight;             // (height - 100) * 0.9
};

// Reads weightText, heightText and sex; sets the numbers, their texts, the class sentence and
// both verdicts. Text that is no number counts as 0; nothing is rejected. A bmi exactly at a
// class threshold belongs to the higher class.
void AssessmentCompute(AppState* state);

// Sets adviceText from classText and returns the advice line's background colour.
uint32_t AdviceChoose(AppState* state);

// red + green * 256 + blue * 65536 in 32 bits, unmasked: a component above 255 carries into the
// next byte. Colours are 0x00BBGGRR.
uint32_t ColorRGB(int32_t red, int32_t green, int32_t blue);

// The double rounded to the nearest integer, halves to even; -9223372036854775808 for a value
// that is not a number, is infinite or does not fit in 64 bits.
int64_t RoundToInt64(double value);
