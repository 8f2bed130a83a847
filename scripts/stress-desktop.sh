#!/usr/bin/env bash
# Starts one end-to-end row, ManNormal, N times back to back through scripts/wine-run while two
# busy loops keep both cores loaded, and counts the runs that fail. Each run is a fresh driver
# and program that must get its windows on Wine's desktop the moment the previous run ended,
# which is when a desktop that closes after its last program would be going away. It also counts
# the desktops it saw (Wine's explorer.exe /desktop of the prefix, looked for after each run):
# more than one means that runs started while the desktop before had closed or was closing. Not
# part of scripts/test.sh: it takes minutes. The output of every failed run is kept in
# build/stress/.
# A pause between the runs (seconds) moves the starts towards the moment a desktop without
# programs closes, about a second after the last one ended.
# Usage: scripts/stress-desktop.sh [N] [preset] [pause]   (default: 300 runs of the i686 build,
# back to back; build it first, e.g. cmake --build --preset i686)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
runs=${1:-300}
preset=${2:-i686}
pause=${3:-0}
driver="build/$preset/tests/program_tests.exe"
[ -f "$driver" ] || { echo "stress: no $driver; build the preset $preset first" >&2; exit 1; }
source scripts/wine-env.sh || exit 1
# The preset's own environment; ended afterwards only when this script brought it up.
env=$repo/build/$preset/wine
[ -f "$(wine_env_dir "$env")/up" ] || stop_wine=yes
wine_env_up "$env" && wine_env_use "$(wine_env_dir "$env")" || exit 1

# The process id of the prefix's desktop, or nothing.
desktop_of_prefix() {
  local pid
  for pid in $(pgrep -f 'explorer.exe /desktop'); do
    if grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null; then
      echo "$pid"
      return
    fi
  done
}

busy=()
stop() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null
  [ -z "${stop_wine:-}" ] || wine_env_down "$env"
}
trap stop EXIT
for _ in 1 2; do
  yes >/dev/null &
  busy+=($!)
done

logs=build/stress
rm -rf "$logs"
mkdir -p "$logs"
failed=0
declare -A desktops
start=$(date +%s)
for i in $(seq "$runs"); do
  [ "$i" -eq 1 ] || sleep "$pause"
  if ! scripts/wine-run "$driver" --gtest_filter='Runs/ProgramTest.*/ManNormal' \
       >"$logs/run.log" 2>&1; then
    failed=$((failed + 1))
    mv "$logs/run.log" "$logs/failed-$i.log"
    echo "stress: run $i failed (build/stress/failed-$i.log)"
  fi
  desktop=$(desktop_of_prefix)
  [ -z "$desktop" ] || desktops[$desktop]=1
done
rm -f "$logs/run.log"
seconds=$(($(date +%s) - start))
echo "stress: $runs runs ($pause s apart), $failed failed, ${#desktops[@]} desktops seen, $seconds s" \
  "(load $(cut -d' ' -f1-3 /proc/loadavg))"
[ "$failed" -eq 0 ]
