#!/usr/bin/env bash
# Builds the release program (i686) and starts it under Wine. On a machine that cannot execute
# 32-bit programs (or with WINE_64BIT_ONLY=1) it builds and starts the x86_64 program instead,
# and says so.
#
# With a display (DISPLAY set and answering), the program opens on that desktop for you to use,
# in a Wine prefix of its own (build/wine/desktop/prefix) whose windows are ordinary windows of
# your desktop; the script returns when you close the result window.
#
# Without a display, or with --demo, it plays a user on the project's private Xvfb display: it
# types the entries into both dialogs, clicks the option, saves a screenshot of each step as PNG
# into the shots folder, prints the result window's texts and closes the program.
#
# Usage: scripts/run.sh [--demo] [--weight KG] [--height CM] [--sex maenlich|weiblich]
#                       [--shots FOLDER]
# Defaults: 80 kg, 180 cm, "maenlich" (the option "mänlich"), shots in build/demo.
# Exits with the program's exit code. Nothing it started keeps running after it.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

demo=no
weight=80
height=180
sex=m
shots="$repo/build/demo"
usage() {
  sed -n '/^# Usage:/,/^# Defaults:/s/^# //p' "${BASH_SOURCE[0]}" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=yes ;;
    --weight) weight=${2?}; shift ;;
    --height) height=${2?}; shift ;;
    --sex)
      case "${2?}" in
        m | maenlich | mänlich | man) sex=m ;;
        w | weiblich | woman) sex=w ;;
        *) usage ;;
      esac
      shift ;;
    --shots) shots=$(realpath -m "${2?}"); shift ;;
    *) usage ;;
  esac
  shift
done

bash scripts/setup.sh
user_display="${DISPLAY:-}"
if [ "$demo" = no ] && [ -n "$user_display" ] &&
   ! import -display "$user_display" -window root -crop 1x1+0+0 null: 2>/dev/null; then
  echo "run: display $user_display does not answer; playing the demo on a private display" >&2
  demo=yes
fi
[ -n "$user_display" ] || demo=yes

source scripts/wine-env.sh
preset=i686
if [ "$WINE_ENV_32BIT" = no ]; then
  preset=x86_64
  echo "run: the x86_64 program, since Wine runs 64-bit programs only here: $WINE_ENV_32BIT_WHY"
fi
cmake --preset "$preset" >/dev/null
program="build/$preset/waagenfuchs.exe"
driver="build/$preset/tests/program_tests.exe"

if [ "$demo" = no ]; then
  cmake --build --preset "$preset" --target waagenfuchs
  echo "built $program ($(stat -c %s "$program") bytes); starting it on $user_display"
  env=$repo/build/wine/desktop
  mkdir -p "$env"
  wine_env_prefix "$env" plain
  wine_env_use "$env"
  export DISPLAY="$user_display"
  # Wine's services outlive the program: they get a log file, not the caller's terminal or
  # pipe, and are stopped at the end. A Windows program ignores Ctrl+C, so an interrupted script
  # stops the program too, through the same wineserver -k; waiting in the background lets the
  # script see the interrupt at once.
  trap 'wineserver -k 2>/dev/null || true' EXIT
  trap 'echo "run: interrupted; stopping the program" >&2; exit 130' INT TERM
  "$WINE_ENV_LOADER" "$program" >"$repo/build/run-desktop.log" 2>&1 </dev/null &
  status=0
  wait $! || status=$?
  echo "exit code $status"
  exit "$status"
fi

cmake --build --preset "$preset" --target program_tests
echo "built $program ($(stat -c %s "$program") bytes); playing the demo"
# The preset's own Wine environment, ended afterwards only when this script brought it up: a test
# run may be using it.
env=$repo/build/$preset/wine
[ -f "$env/up" ] || trap 'wine_env_down "$env"' EXIT
wine_env_up "$env"
shot_names=(1-weight-dialog 2-height-dialog 3-choice-window 4-result-window)
mkdir -p "$shots"
for name in "${shot_names[@]}"; do rm -f "$shots/$name.bmp" "$shots/$name.png"; done
status=0
# The driver prints the program's texts as they are, in Latin-1.
texts=$(mktemp)
scripts/wine-run "$driver" --demo "$weight" "$height" "$sex" "$shots" >"$texts" || status=$?
iconv -f ISO-8859-1 -t UTF-8 "$texts"
rm -f "$texts"
saved=()
for name in "${shot_names[@]}"; do
  [ -e "$shots/$name.bmp" ] || continue
  convert "$shots/$name.bmp" -strip "$shots/$name.png" && rm "$shots/$name.bmp" &&
    saved+=("$name.png")
done
echo "screenshots in $shots: ${saved[*]}"
exit "$status"
