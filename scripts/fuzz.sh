#!/usr/bin/env bash
# Runs the fuzz targets (the fuzz preset: the core under libFuzzer, ASan and UBSan) long and merges
# inputs that reach new edges into tests/fuzz/corpus/TARGET. An input that makes a target fail is
# copied to tests/fuzz/regressions/TARGET, which scripts/test.sh replays from then on: fix the
# fault, keep the file, commit both. Work files stay in build/fuzz/long/TARGET.
# Usage: scripts/fuzz.sh [seconds per target] [target...]   (default: 600 seconds, every target)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1

seconds=${1:-600}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in tests/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || exit 1

status=0
for target in "${targets[@]}"; do
  program=build/fuzz/tests/fuzz/$target
  corpus=tests/fuzz/corpus/$target
  regressions=tests/fuzz/regressions/$target
  work=build/fuzz/long/$target
  [ -x "$program" ] && [ -d "$corpus" ] || { echo "$target: no such fuzz target"; status=1; continue; }
  rm -rf "$work"
  mkdir -p "$work/new" "$work/finds"
  inputs=("$corpus")
  [ -d "$regressions" ] && inputs+=("$regressions")

  echo "== $target: $seconds s"
  "$program" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$work/finds/" \
    "$work/new" "${inputs[@]}" >"$work/log" 2>&1
  result=$?
  before=$(find "$corpus" -type f | wc -l)
  "$program" -merge=1 -use_counters=0 -artifact_prefix="$work/finds/" "$corpus" "$work/new" \
    >"$work/merge.log" 2>&1 || {
    echo "$target: merge failed, see $work/merge.log"
    status=1
  }
  after=$(find "$corpus" -type f | wc -l)
  echo "$target: $(grep -E '^Done [0-9]+ runs' "$work/log" || echo 'stopped early'); corpus $before -> $after inputs"

  for find in "$work"/finds/*; do
    [ -e "$find" ] || continue
    mkdir -p "$regressions"
    cp "$find" "$regressions/"
    echo "$target: kept $regressions/$(basename "$find")"
  done
  [ $result -eq 0 ] || { echo "$target: FAILED (exit $result), see $work/log"; status=1; }
done
exit $status
