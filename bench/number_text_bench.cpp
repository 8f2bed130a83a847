// Int64ToText against std::to_chars and TextToInteger against std::from_chars, on the same values:
// short ones (1 to 9 digits, the 32-bit path) and long ones (11 to 18 digits, the 64-bit path).
// Run: cmake --preset bench && cmake --build --preset bench && build/bench/bench/number_text_bench
// scripts/perf.sh runs it with repetitions in random interleaving, so both sides alternate, and
// then once for each case under callgrind with "--count CASE", which runs that case's loop body
// once for each of its values and nothing else, for the instructions per call.
#include "runtime/memory.h"
#include "runtime/number_text.h"
#include "runtime/strings.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// Values per case, cycled through by the timed loops: so many that the branch predictor cannot
// learn their digit counts and signs by heart, as no program converts such a cycle. With 1024 it
// could, and how well depended on the processor and on where the linker put the timed loop: on an
// AMD EPYC Int64ToText took 7.3 to 12.6 ns per call as the benchmark's code moved in steps of
// 16 bytes, std::to_chars about 5.7 ns throughout. std::to_chars takes 5.9 ns with 4096 values,
// 14.5 with 16384 and 15.4 with 65536; from 16384 on neither side depends on the placement.
// The values take 128 KiB, their texts 512 KiB, both read in order.
constexpr size_t kValues = 16384;
static_assert((kValues & (kValues - 1)) == 0, "the timed loops cycle with a mask");

// kValues values of either sign, each below a power of ten picked at random: 10^1 to 10^9 for
// the short ones, 10^11 to 10^18 for the long ones.
std::vector<int64_t> Values(bool large) {
  std::mt19937_64 random(42);
  std::vector<int64_t> values(kValues);
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

// The loop bodies, one per side. Each writes or reads one value the way its side is used: ours
// at the buffer's used length as its mark, the buffer cut back to the mark afterwards as
// StringAssignFromBuffer does once it has copied the text out; std::to_chars into a local array.
// Both written texts count as read (a compiler barrier, no instructions).
void OursToText(int64_t value) {
  int32_t mark = StringBuffer.used;
  Int64ToText(value, mark);
  StringBuffer.used = mark;
  benchmark::ClobberMemory();
}

void StdToChars(int64_t value) {
  char out[32];
  auto result = std::to_chars(out, out + sizeof out, value);
  *result.ptr = '\0';
  benchmark::DoNotOptimize(out);
}

void OursFromText(const std::string& text) {
  benchmark::DoNotOptimize(TextToInteger(text.c_str()));
}

void StdFromChars(const std::string& text) {
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  benchmark::DoNotOptimize(value);
}

void BM_Int64ToText(benchmark::State& state, bool large) {
  auto values = Values(large);
  size_t i = 0;
  for (auto _ : state) OursToText(values[i++ & (kValues - 1)]);
}

void BM_ToChars(benchmark::State& state, bool large) {
  auto values = Values(large);
  size_t i = 0;
  for (auto _ : state) StdToChars(values[i++ & (kValues - 1)]);
}

void BM_TextToInteger(benchmark::State& state, bool large) {
  auto texts = Texts(large);
  size_t i = 0;
  for (auto _ : state) OursFromText(texts[i++ & (kValues - 1)]);
}

void BM_FromChars(benchmark::State& state, bool large) {
  auto texts = Texts(large);
  size_t i = 0;
  for (auto _ : state) StdFromChars(texts[i++ & (kValues - 1)]);
}

BENCHMARK_CAPTURE(BM_Int64ToText, short, false);
BENCHMARK_CAPTURE(BM_Int64ToText, long, true);
BENCHMARK_CAPTURE(BM_ToChars, short, false);
BENCHMARK_CAPTURE(BM_ToChars, long, true);
BENCHMARK_CAPTURE(BM_TextToInteger, short, false);
BENCHMARK_CAPTURE(BM_TextToInteger, long, true);
BENCHMARK_CAPTURE(BM_FromChars, short, false);
BENCHMARK_CAPTURE(BM_FromChars, long, true);

// The counted loops, one per benchmark function: scripts/perf.sh has callgrind count only inside
// them (--toggle-collect), so the values' making and the process around them stay out of the count.
__attribute__((noinline)) void CountedInt64ToText(const std::vector<int64_t>& values) {
  for (int64_t value : values) OursToText(value);
}

__attribute__((noinline)) void CountedToChars(const std::vector<int64_t>& values) {
  for (int64_t value : values) StdToChars(value);
}

__attribute__((noinline)) void CountedTextToInteger(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) OursFromText(text);
}

__attribute__((noinline)) void CountedFromChars(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) StdFromChars(text);
}

// Runs the case of that name (as the benchmark names it) once over its values and prints how many
// calls that made; 2 for an unknown name.
int Count(const std::string& name) {
  for (bool large : {false, true}) {
    const std::string length = large ? "/long" : "/short";
    if (name == "BM_Int64ToText" + length) {
      CountedInt64ToText(Values(large));
    } else if (name == "BM_ToChars" + length) {
      CountedToChars(Values(large));
    } else if (name == "BM_TextToInteger" + length) {
      CountedTextToInteger(Texts(large));
    } else if (name == "BM_FromChars" + length) {
      CountedFromChars(Texts(large));
    } else {
      continue;
    }
    printf("calls %zu\n", kValues);
    return 0;
  }
  fprintf(stderr, "number_text_bench: no case named %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  MainHeap = HeapCreate(0, 4096, 0);
  StringManagerStart();
  if (argc == 3 && std::string(argv[1]) == "--count") return Count(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
