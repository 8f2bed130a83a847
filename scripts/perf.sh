#!/usr/bin/env bash
# Measures every speed and size figure the project claims, each beside its yardstick in the same
# run, keeps the measurements in build/perf/ and rewrites the tables of docs/PERFORMANCE.md from
# them. The Windows side runs under Wine (x86_64 where Wine runs 64-bit programs only); the number
# conversions are also counted under callgrind. A few minutes; benchmarks: nothing fails on a goal.
# Usage: scripts/perf.sh
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh
command -v python3 >/dev/null || { echo "perf: python3 is needed for the report" >&2; exit 1; }

# Rounds per comparison: enough that the medians hold still on a busy two-core machine.
number_repetitions=15
event_rounds=21
startup_rounds=100

out=build/perf
rm -rf "$out"
mkdir -p "$out"

cmake --preset bench >/dev/null
cmake --build --preset bench --target number_text_bench
source scripts/wine-env.sh
preset=$WINE_ENV_PRESET
[ "$preset" = i686 ] || echo "perf: the x86_64 build, as Wine runs 64-bit programs only: $WINE_ENV_32BIT_WHY" >&2
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target waagenfuchs event_wait_bench startup_bench \
  minimal_dialog minimal_dialog_manifest minimal_dialog_setup minimal_dialog_visible
trap 'wine_env_down "$repo/build/$preset/wine"' EXIT
wine_env_up "$repo/build/$preset/wine"

# measure NAME COMMAND...: the command's output, and the load average before and after it, go to
# $out/NAME.txt.
measure() {
  local name=$1
  shift
  echo "perf: measuring $name" >&2
  {
    echo "load_before $(cut -d' ' -f1 /proc/loadavg)"
    "$@"
    echo "load_after $(cut -d' ' -f1 /proc/loadavg)"
  } >"$out/$name.txt"
}

numbers=build/bench/bench/number_text_bench
measure numbers "$numbers" \
  --benchmark_repetitions="$number_repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 --benchmark_out="$out/numbers.json" --benchmark_out_format=json
# Instructions per call of each number case, counted by callgrind inside the case's counted loop
# only: unlike the times, the same on every processor and at any load.
echo "perf: counting instructions" >&2
for name in $("$numbers" --benchmark_list_tests); do
  calls=$(valgrind -q --tool=callgrind --toggle-collect='*Counted*' \
    --callgrind-out-file="$out/callgrind.out" "$numbers" --count "$name" |
    awk '$1 == "calls" {print $2}')
  echo "instructions $name $(awk '$1 == "summary:" {print $2}' "$out/callgrind.out") $calls"
done >"$out/instructions.txt"
bin="build/$preset"
measure events scripts/wine-run "$bin/bench/event_wait_bench.exe" "$event_rounds"
measure startup scripts/wine-run "$bin/bench/startup_bench.exe" "$bin/waagenfuchs.exe" \
  "$bin/bench/minimal_dialog.exe" "$bin/bench/minimal_dialog_manifest.exe" \
  "$bin/bench/minimal_dialog_setup.exe" "$bin/bench/minimal_dialog_visible.exe" \
  "$startup_rounds"

python3 scripts/perf-report.py "$out" "$bin/waagenfuchs.exe" "$bin/bench/minimal_dialog.exe" \
  "$preset" docs/PERFORMANCE.md
echo "perf: rewrote the tables of docs/PERFORMANCE.md" >&2
