// Timing and reporting shared by the benchmarks that run under Wine. Each measurement is printed
// as it is taken, one line "sample <side> <value>", which scripts/perf.sh reads back; a summary
// for people follows at the end.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

// Seconds on the performance counter.
inline double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One side of a comparison.
struct BenchSide {
  const char* label;           // one word; the report's key for this side
  std::vector<double> values;  // one per round, in the order measured
};

inline void BenchRecord(BenchSide* side, double value) {
  side->values.push_back(value);
  printf("sample %s %.3f\n", side->label, value);
  fflush(stdout);
}

inline double BenchMedian(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The side's median and range over its rounds.
inline void BenchSidePrint(const BenchSide& side, const char* unit) {
  auto [low, high] = std::minmax_element(side.values.begin(), side.values.end());
  printf("%-17s median %10.3f %s, range %.3f to %.3f, %zu rounds\n", side.label,
         BenchMedian(side.values), unit, *low, *high, side.values.size());
}

// The ratio of the medians; goal 0 stands for a ratio that has no goal.
inline void BenchRatioPrint(const BenchSide& ours, const BenchSide& theirs, double goal) {
  printf("%s / %s: %.2f", ours.label, theirs.label,
         BenchMedian(ours.values) / BenchMedian(theirs.values));
  if (goal > 0) printf(" (goal: at most %.2f)", goal);
  printf("\n");
}
