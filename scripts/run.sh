#!/usr/bin/env bash
# Builds the release program (i686; x86_64 where Wine runs 64-bit programs only, or with
# WINE_64BIT_ONLY=1, and says so) and starts it under Wine.
# With a display (DISPLAY set and answering) it opens there for you to use, in a prefix of its own
# (build/wine/desktop/prefix); the script returns when you close the result window.
# Without one, or with --demo, it plays a user on a private Xvfb display: types the entries, clicks
# the option, saves a PNG of each step into the shots folder, prints the result window's texts
# (kept there in texts.txt).
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
preset=$WINE_ENV_PRESET
[ "$preset" = i686 ] || echo "run: the x86_64 program, as Wine runs 64-bit programs only: $WINE_ENV_32BIT_WHY"
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
  # Wine's services outlive the program: they log to a file and are stopped at the end. A Windows
  # program ignores Ctrl+C, so an interrupt stops it through the same wineserver -k; waiting in the
  # background lets the script see the interrupt at once.
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
# The driver prints the program's texts as they are, in Latin-1.
status=0
scripts/wine-run "$driver" --demo "$weight" "$height" "$sex" "$shots" >"$shots/texts.txt" || status=$?
iconv -f ISO-8859-1 -t UTF-8 "$shots/texts.txt"
saved=()
for name in "${shot_names[@]}"; do
  [ -e "$shots/$name.bmp" ] || continue
  convert "$shots/$name.bmp" -strip "$shots/$name.png" && rm "$shots/$name.bmp" &&
    saved+=("$name.png")
done
echo "screenshots in $shots: ${saved[*]}"
exit "$status"
