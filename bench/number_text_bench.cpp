// Int64ToText against std::to_chars and TextToInteger against std::from_chars, on the same values.
// Run: cmake --preset bench && cmake --build --preset bench && build/bench/bench/number_text_bench
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

// Values of every length: small ones (the 32-bit path) and large ones (the 64-bit path).
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

void BM_Int64ToText(benchmark::State& state) {
  auto values = Values(state.range(0));
  size_t i = 0;
  for (auto _ : state) {
    Int64ToText(values[i++ & 1023], 0);
    benchmark::DoNotOptimize(StringBuffer.text);
  }
}

void BM_ToChars(benchmark::State& state) {
  auto values = Values(state.range(0));
  char out[32];
  size_t i = 0;
  for (auto _ : state) {
    auto result = std::to_chars(out, out + sizeof out, values[i++ & 1023]);
    *result.ptr = '\0';
    benchmark::DoNotOptimize(out);
  }
}

void BM_TextToInteger(benchmark::State& state) {
  auto texts = Texts(state.range(0));
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(TextToInteger(texts[i++ & 1023].c_str()));
}

void BM_FromChars(benchmark::State& state) {
  auto texts = Texts(state.range(0));
  size_t i = 0;
  for (auto _ : state) {
    const std::string& text = texts[i++ & 1023];
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    benchmark::DoNotOptimize(value);
  }
}

// Argument 0: values of 1 to 9 digits; 1: values of 11 to 18 digits.
BENCHMARK(BM_Int64ToText)->Arg(0)->Arg(1);
BENCHMARK(BM_ToChars)->Arg(0)->Arg(1);
BENCHMARK(BM_TextToInteger)->Arg(0)->Arg(1);
BENCHMARK(BM_FromChars)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  MainHeap = HeapCreate(0, 4096, 0);
  StringManagerStart();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
