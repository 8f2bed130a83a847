// Int64ToText against std::to_chars and TextToInteger against std::from_chars, on the same values:
// short ones (1 to 9 digits, the 32-bit path) and long ones (11 to 18 digits, the 64-bit path).
// Run: cmake --preset bench && cmake --build --preset bench && build/bench/bench/number_text_bench
// scripts/perf.sh runs it with repetitions in random interleaving, so both sides alternate.
#include "runtime/memory.h"
#include "runtime/number_text.h"
#include "runtime/strings.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// 1024 values of either sign, each below a power of ten picked at random: 10^1 to 10^9 for the
// short ones, 10^11 to 10^18 for the long ones.
std::vector<int64_t> Values(bool large) {
  std::mt19937_64 random(42);
  std::vector<int64_t> values(1024);
  for (int64_t& v : values) {
    uint64_t bits = random();
    int digits = static_cast<int>(random() % 9) + 1;
    if (large) digits += 10;
    uint64_t limit = 1;
    for (int i = 0; i < digits && i < 18; ++i) limit *= 10;
    v = static_cast<int64_t>(bits % limit) * ((bits & 1) ? -1 : 1);
  }
  return values;
}

std::vector<std::string> Texts(bool large) {
  std::vector<std::string> texts;
  for (int64_t v : Values(large)) texts.push_back(std::to_string(v));
  return texts;
}

void BM_Int64ToText(benchmark::State& state, bool large) {
  auto values = Values(large);
  size_t i = 0;
  for (auto _ : state) {
    Int64ToText(values[i++ & 1023], 0);
    benchmark::DoNotOptimize(StringBuffer.text);
  }
}

void BM_ToChars(benchmark::State& state, bool large) {
  auto values = Values(large);
  char out[32];
  size_t i = 0;
  for (auto _ : state) {
    auto result = std::to_chars(out, out + sizeof out, values[i++ & 1023]);
    *result.ptr = '\0';
    benchmark::DoNotOptimize(out);
  }
}

void BM_TextToInteger(benchmark::State& state, bool large) {
  auto texts = Texts(large);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(TextToInteger(texts[i++ & 1023].c_str()));
}

void BM_FromChars(benchmark::State& state, bool large) {
  auto texts = Texts(large);
  size_t i = 0;
  for (auto _ : state) {
    const std::string& text = texts[i++ & 1023];
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    benchmark::DoNotOptimize(value);
  }
}

BENCHMARK_CAPTURE(BM_Int64ToText, short, false);
BENCHMARK_CAPTURE(BM_Int64ToText, long, true);
BENCHMARK_CAPTURE(BM_ToChars, short, false);
BENCHMARK_CAPTURE(BM_ToChars, long, true);
BENCHMARK_CAPTURE(BM_TextToInteger, short, false);
BENCHMARK_CAPTURE(BM_TextToInteger, long, true);
BENCHMARK_CAPTURE(BM_FromChars, short, false);
BENCHMARK_CAPTURE(BM_FromChars, long, true);

}  // namespace

int main(int argc, char** argv) {
  MainHeap = HeapCreate(0, 4096, 0);
  StringManagerStart();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
