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
# The step wine10 runs the test kit (scripts/release.sh --tests; the x86_64 programs where 32-bit
# programs cannot run) under Debian 13's Wine 10 (scripts/wine10.sh) and fails unless as many
# cases pass there as CTest passed for the same programs under Wine 8 in this run; run without
# those it builds and runs them first.
# Usage: scripts/test.sh [preset...]   (default: analysis i686 x86_64 host fuzz release wine10)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(analysis i686 x86_64 host fuzz release wine10)

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

# The Debian 13 root of the step wine10 is made, mostly downloading, while the other steps run;
# the step waits for it. In a process group of its own, so that an early end of this script ends
# its downloads too, and its own exit trap then undoes its mounts.
root_job=""
case " ${presets[*]} " in
  *" wine10 "*)
    mkdir -p build/wine10
    setsid bash scripts/wine10.sh --root >build/wine10/root.log 2>&1 </dev/null &
    root_job=$!
    ;;
esac

# Only the Windows presets run under Wine: the native ones need no display or prefix.
windows=no
on_exit() {
  [ -z "$root_job" ] || { kill -TERM -- "-$root_job" 2>/dev/null; wait "$root_job"; }
  [ "$windows" = no ] || wine_env_down
}
trap on_exit EXIT
case " ${presets[*]} " in
  *" i686 "* | *" x86_64 "* | *" wine10 "*)
    windows=yes
    source scripts/wine-env.sh
    [ "$WINE_ENV_32BIT" = yes ] ||
      echo "wine: 64-bit programs only, so the i686 tests are skipped and the version runs run" \
        "on x86_64: $WINE_ENV_32BIT_WHY"
    if ! wine_env_up; then
      fail "wine: no prefix, so no Windows test can run"
      windows=failed
    fi
    ;;
esac

# run_logged COMMAND...: runs the command with its output shown and kept in the file $log, which
# the caller removes; returns the command's exit code.
run_logged() {
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}

# run_ctest PRESET [ctest options...]: runs the preset's tests and adds their counts to the totals;
# ctest_passed holds this run's passed count.
run_ctest() {
  local preset=$1 log summary total bad skip
  ctest_passed=0
  shift
  run_logged ctest --preset "$preset" -j "$(nproc)" "$@" || status=1
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log")
  skip=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")
  rm -f "$log"
  if [ -z "$summary" ]; then
    fail "$preset: ctest ran no test"
    return
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$summary")
  ctest_passed=$((total - bad - skip))
  passed=$((passed + ctest_passed))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
  [ "$skip" -eq 0 ] || echo "$preset: $skip test programs skipped: $WINE_ENV_32BIT_WHY"
}

# The preset whose test programs go into the kit that wine10 runs, and the CTest label of each of
# those programs (build/PRESET/kit/tests.txt, written when it is configured).
kit_preset=i686
[ "${WINE_ENV_32BIT:-yes}" = yes ] || kit_preset=x86_64
kit_passed=""
kit_labels() {
  echo "^($(sed 's/\.exe .*//' "build/$kit_preset/kit/tests.txt" | paste -sd'|'))\$"
}

# build_preset PRESET: configures and builds a preset, with what Wine can run for the Windows ones.
build_preset() {
  local configure=()
  case "$1" in
    i686 | x86_64) configure=("$wine_env_cmake_option") ;;
  esac
  cmake --preset "$1" "${configure[@]}" >/dev/null && cmake --build --preset "$1"
}

# The kit's programs under Wine 8 apart from the rest, so that wine10 knows their count.
run_kit_preset() {
  run_ctest "$kit_preset" -L "$(kit_labels)"
  kit_passed=$ctest_passed
}

wine10_step() {
  local kit log summary n m
  wait "$root_job"
  local made=$?
  root_job=""
  cat build/wine10/root.log
  [ "$made" -eq 0 ] || { fail "wine10: no Debian 13 root"; return; }
  if [ -z "$kit_passed" ]; then
    echo "wine10: first the kit's programs on $kit_preset under Wine 8, for the count to match"
    build_preset "$kit_preset" || { fail "wine10: $kit_preset build failed"; return; }
    run_kit_preset
  fi
  if [ "$kit_preset" = i686 ]; then
    bash scripts/release.sh --tests >/dev/null || { fail "wine10: no test kit"; return; }
    kit=$(ls build/release/waagenfuchs-*-windows-tests.zip)
  else
    cmake --build --preset x86_64 >/dev/null &&
      python3 scripts/release.py kit build/x86_64 build/wine10 >/dev/null ||
      { fail "wine10: no x86_64 test kit"; return; }
    kit=$(ls build/wine10/waagenfuchs-*-windows-x86_64-tests.zip)
  fi
  run_logged bash scripts/wine10.sh "$kit"
  summary=$(grep -E '^wine10: [0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$summary" ]; then
    fail "wine10: the kit did not run"
    return
  fi
  n=$(sed -E 's/^wine10: ([0-9]+) passed.*/\1/' <<<"$summary")
  m=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$summary")
  passed=$((passed + n))
  failed=$((failed + m))
  [ "$m" -eq 0 ] || status=1
  [ "$n" -eq "$kit_passed" ] ||
    fail "wine10: $n cases passed, but CTest passed $kit_passed of the same programs under Wine 8"
}

for preset in "${presets[@]}"; do
  echo "== $preset"
  if [ "$preset" = wine10 ]; then
    # Not a CMake preset: the kit's cases under Wine 10, each counted.
    [ "$windows" = yes ] && wine10_step
    continue
  fi
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
  case "$preset" in
    i686 | x86_64) [ "$windows" = yes ] || continue ;;
  esac
  if ! build_preset "$preset"; then
    fail "$preset: build failed"
    continue
  fi
  [ "$preset" != x86_64 ] || x86_64_built=yes
  if [ "$preset" = "$kit_preset" ]; then
    run_kit_preset
    run_ctest "$preset" -LE "$(kit_labels)"
  else
    run_ctest "$preset"
  fi
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
