#!/usr/bin/env bash
# Builds and runs every check: the static analysis (scripts/analyse.sh), the i686 and x86_64
# Windows builds under Wine, the host build of the platform-independent core under
# AddressSanitizer and UBSan, a bounded run of each fuzz target over its corpus, and the release
# built twice to the same bytes (scripts/release.sh --check). Installs what it needs first.
# On a machine that cannot execute 32-bit programs (or with WINE_64BIT_ONLY=1), Wine runs 64-bit
# programs only: the i686 build is built and its checks that need no Wine run, its test programs
# count as skipped, and the x86_64 build also runs the version runs. Where 32-bit programs run,
# a short last check proves that path too: the core tests and one end-to-end row of the x86_64
# build with WINE_64BIT_ONLY=1, in a prefix and on a display of their own.
# Usage: scripts/test.sh [preset...]   (default: analysis i686 x86_64 host fuzz release)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(analysis i686 x86_64 host fuzz release)

passed=0
failed=0
skipped=0
status=0
x86_64_built=no
fail() {
  echo "$1"
  failed=$((failed + 1))
  status=1
}

# Only the Windows presets run under Wine: the native ones need no display or prefix.
windows=no
case " ${presets[*]} " in
  *" i686 "* | *" x86_64 "*)
    windows=yes
    source scripts/wine-env.sh
    trap wine_env_down EXIT
    [ "$WINE_ENV_32BIT" = yes ] ||
      echo "wine: 64-bit programs only, so the i686 tests are skipped and the version runs run" \
        "on x86_64: $WINE_ENV_32BIT_WHY"
    if ! wine_env_up; then
      fail "wine: no prefix, so no Windows test can run"
      windows=failed
    fi
    ;;
esac

# run_ctest PRESET [ctest options...]: runs the preset's tests and adds their counts to the totals.
run_ctest() {
  local preset=$1 log summary total bad skip
  shift
  log=$(mktemp)
  ctest --preset "$preset" -j "$(nproc)" "$@" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log")
  skip=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")
  rm -f "$log"
  if [ -z "$summary" ]; then
    fail "$preset: ctest ran no test"
    return
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad - skip))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
  [ "$skip" -eq 0 ] || echo "$preset: $skip test programs skipped: $WINE_ENV_32BIT_WHY"
}

for preset in "${presets[@]}"; do
  echo "== $preset"
  if [ "$preset" = analysis ]; then
    # Not a CMake preset: each analysis tool counts as one check.
    for tool in cppcheck clang-tidy clang-format; do
      if bash scripts/analyse.sh "$tool"; then
        passed=$((passed + 1))
      else
        fail "analysis: $tool reported findings"
      fi
    done
    continue
  fi
  if [ "$preset" = release ]; then
    # Not a CMake preset, and no Wine: the release program and zip, built twice, are one check.
    if bash scripts/release.sh --check; then
      passed=$((passed + 1))
    else
      fail "release: the two builds differ, or could not be made"
    fi
    continue
  fi
  configure=()
  case "$preset" in
    i686 | x86_64)
      [ "$windows" = yes ] || continue
      configure=("$wine_env_cmake_option")
      ;;
  esac
  if ! cmake --preset "$preset" "${configure[@]}" >/dev/null ||
     ! cmake --build --preset "$preset"; then
    fail "$preset: build failed"
    continue
  fi
  [ "$preset" != x86_64 ] || x86_64_built=yes
  run_ctest "$preset"
done

# The 64-bit-only path, proven on a machine where it is not the path taken.
if [ "$x86_64_built" = yes ] && [ "$WINE_ENV_32BIT" = yes ]; then
  echo "== x86_64 with WINE_64BIT_ONLY=1"
  only64() {
    export WINE_64BIT_ONLY=1 WINEPREFIX="$repo/build/wine-prefix-64bit-only"
    export WINE_DISPLAY_NUMBER=$((wine_env_display_base + 1))
    source scripts/wine-env.sh
    trap wine_env_down EXIT
    wine_env_up || { fail "wine: no 64-bit-only prefix"; return; }
    run_ctest x86_64 -L '^core_tests$'
    run_ctest x86_64 -R '^Runs/ProgramTest\..*/ManNormal( |$)'
  }
  # In a subshell: its environment and exit trap stay its own; the counts come back as one line.
  counts=$(mktemp)
  (only64; echo "$passed $failed $skipped $status" >"$counts")
  read -r passed failed skipped status <"$counts"
  rm -f "$counts"
fi

echo
echo "presets: ${presets[*]}"
if [ "$skipped" -gt 0 ]; then
  echo "total: $passed passed, $failed failed, $skipped skipped"
else
  echo "total: $passed passed, $failed failed"
fi
exit $status
