#!/usr/bin/env bash
# Builds and runs every check, installing what it needs first: the static analysis, the i686 and
# x86_64 tests under Wine 8, the host core under ASan and UBSan, a bounded run of each fuzz target,
# the release built twice to the same bytes, the test kit under Wine 10 and the guest's checks
# (below). The suites run at the same time, each on a display and in a prefix of its own; each
# one's output is shown when it ends. Where 32-bit programs cannot run, the i686 tests count as
# skipped and the x86_64 build runs the version runs; where they can, the x86_64 build also
# proves that path (WINE_64BIT_ONLY=1). The analysis and the release check are taken again only
# when a file they read or a tool changed (rm -rf build/test takes them anew).
# Usage: scripts/test.sh [step...]
#        (steps: analysis i686 x86_64 host fuzz release wine10 guest; default: all)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1
source scripts/wine-env.sh

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(analysis i686 x86_64 host fuzz release wine10 guest)
wants() { [[ " ${steps[*]} " == *" $1 "* ]]; }
out=$repo/build/test
mkdir -p "$out"
rm -f "$out"/*.count "$out"/*.xml "$out"/*.built
began=$(date +%s)
set -m  # each suite in a process group of its own, with the terminal kept (sudo asks there)
[ "$WINE_ENV_32BIT" = yes ] || echo "wine: 64-bit programs only: $WINE_ENV_32BIT_WHY"

# count NAME PASSED FAILED [SKIPPED]: one suite's counts, added up at the end.
count() { echo "$2 $3 ${4:-0}" >>"$out/$1.count"; }

# ctest_run NAME PRESET [ctest options...]: a preset's tests, counted from CTest's JUnit file.
ctest_run() {
  local name=$1 preset=$2 xml="$out/$1.xml" status
  shift 2
  ctest --preset "$preset" -j "$(nproc)" --output-junit "$xml" "$@"
  status=$?
  if [ ! -f "$xml" ]; then
    count "$name" 0 1
    echo "$name: ctest ran no test"
    return 1
  fi
  local tests failures skipped
  read -r tests failures skipped < <(python3 -c 'import sys, xml.etree.ElementTree as x
r = x.parse(sys.argv[1]).getroot()
print(*(r.get(k) for k in ("tests", "failures", "skipped")))' "$xml")
  count "$name" $((tests - failures - skipped)) "$failures" "$skipped"
  # A failure the JUnit file does not name (a setup that failed, a crash of ctest) still counts.
  [ "$status" -eq 0 ] || [ "$failures" -gt 0 ] || { count "$name" 0 1; echo "$name: ctest failed"; }
  return $status
}

# check NAME COMMAND...: one counted check, passed when the command exits 0.
check() {
  local name=$1
  shift
  if "$@"; then count "$name" 1 0; else count "$name" 0 1; echo "$name: failed"; return 1; fi
}

# unchanged NAME PATHSPEC...: whether the check NAME passed before for the tracked files' contents
# and the tools' versions as they are now; passed NAME PATHSPEC... records it.
key_of() {
  { git ls-files -z -- "$@" | xargs -0 sha256sum
    dpkg-query -W cppcheck clang-tidy clang-format g++-mingw-w64-i686-posix python3; } 2>/dev/null |
    sha256sum | cut -c1-16
}
unchanged() { [ "$(cat "$out/$1.passed" 2>/dev/null)" = "$(key_of "${@:2}")" ]; }
passed() { key_of "${@:2}" >"$out/$1.passed"; }
analysed=('*.c' '*.cpp' '*.h' '.clang-*' .cppcheck-suppressions '*CMakeLists.txt' 'cmake/*'
          CMakePresets.json scripts/analyse.sh)
released=(. ':!*.md' ':!tests' ':!scripts' scripts/release.sh scripts/release.py)

# The kit's programs (written when the preset is configured) as a CTest label expression.
kit_preset=$WINE_ENV_PRESET
kit_labels() { echo "^($(sed 's/\.exe .*//' "build/$kit_preset/kit/tests.txt" | paste -sd'|'))\$"; }

# The i686 build comes first, as the kit under Wine 10, the longest suite, waits for it.
build() {
  cmake --preset "$1" >/dev/null && nice -n "$([ "$1" = i686 ] && echo 0 || echo 10)" \
    cmake --build --preset "$1"
}

analysis_suite() {
  local tool
  for tool in cppcheck clang-tidy clang-format; do
    if unchanged "$tool" "${analysed[@]}"; then
      echo "analysis: $tool passed before for these files and tools"
      count analysis 1 0
    else
      check analysis bash scripts/analyse.sh "$tool" && passed "$tool" "${analysed[@]}"
    fi
  done
}

# The Windows builds leave a mark when done, whichever way, for the step wine10.
i686_suite() {
  check i686 build i686
  local built=$?
  touch "$out/i686.built"
  [ "$built" -eq 0 ] && ctest_run i686 i686
}

x86_64_suite() {
  check x86_64 build x86_64
  local built=$?
  touch "$out/x86_64.built"
  [ "$built" -eq 0 ] || return 1
  [ "$WINE_ENV_32BIT" = yes ] || { ctest_run x86_64 x86_64; return; }
  # The 64-bit-only path beside the suite, in an environment of its own, once the tests are listed.
  ctest --preset x86_64 -N >/dev/null
  (
    export WINE_64BIT_ONLY=1
    ctest_run only64 x86_64 -L '^core_tests$'
    ctest_run only64 x86_64 -R '^Runs/ProgramTest\..*/ManNormal( |$)'
  ) >"$out/only64.log" 2>&1 &
  ctest_run x86_64 x86_64
  wait $!
  echo "== x86_64 with WINE_64BIT_ONLY=1"
  cat "$out/only64.log"
}

host_suite() {
  if wants host; then check host build host && ctest_run host host; fi
  if wants fuzz; then check fuzz build fuzz && ctest_run fuzz fuzz; fi
  if wants release; then
    if unchanged release "${released[@]}"; then
      echo "release: built twice to the same bytes before, for these files and tools"
      count release 1 0
    else
      check release nice -n 19 bash scripts/release.sh --check && passed release "${released[@]}"
    fi
  fi
}

# The kit's cases under Wine 10, all of which must pass, as many as the same programs have here.
wine10_suite() {
  local kit expected
  until [ -e "$out/$kit_preset.built" ]; do sleep 1; done
  if [ "$kit_preset" = i686 ]; then
    bash scripts/release.sh --tests >/dev/null && kit=$(ls build/release/*-windows-tests.zip)
  else
    build x86_64 >/dev/null && wine_env_holder_build &&
      python3 scripts/release.py kit build/x86_64 build/wine10 >/dev/null &&
      kit=$(ls build/wine10/*-windows-x86_64-tests.zip)
  fi
  [ -n "${kit:-}" ] || { count wine10 0 1; echo "wine10: no test kit"; return 1; }
  until [ -e build/wine10/root.status ]; do sleep 1; done
  cat build/wine10/root.log
  [ "$(cat build/wine10/root.status)" = 0 ] ||
    { count wine10 0 1; echo "wine10: no Debian 13 root"; return 1; }
  rm -f build/wine10/report.txt
  bash scripts/wine10.sh "$kit"
  local status=$?
  read -r n m k < <(tr -d '\r' <build/wine10/report.txt |
    grep -oE '^[0-9]+ passed, [0-9]+ failed(, [0-9]+ skipped)?' | tr -d , |
    awk '{p += $1; f += $3; s += $5} END {print p + 0, f + 0, s + 0}')
  count wine10 "$n" "$m" "$k"
  expected=$(ctest --test-dir "build/$kit_preset" -N -L "$(kit_labels)" | grep ' Test *#' |
    grep -vc ': wine/')
  [ $((n + k)) -eq "$expected" ] ||
    { count wine10 0 1; echo "wine10: $n cases passed and $k skipped, $expected expected"; return 1; }
  return $status
}

# The guest's checks: a prefix and an X display of the user's own, made before the suites start,
# are the same afterwards (same files, same server); a hanging case's first line reaches CTest's
# output at its time limit; without root or sudo, the step wine10 fails at once in one line.
guest_begin() {
  local n
  user=$out/user
  rm -rf "$user" && mkdir -p "$user/prefix/drive_c" && echo '"Version"="win98"' >"$user/prefix/user.reg"
  for ((n = ${WINE_DISPLAY_NUMBER:-57}; ; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  # Under job control a background job leads its own process group already: no setsid here, which
  # would then fork and leave a process id that is not the server's.
  Xvfb ":$n" -nolisten tcp >/dev/null 2>&1 </dev/null &
  user_x=$!
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  user_files=$(find "$user" -printf '%p %s %T@\n' | sort)
  export WINEPREFIX=$user/prefix DISPLAY=:$n
}
guest_end() {
  [ "$(find "$user" -printf '%p %s %T@\n' | sort)" = "$user_files" ] ||
    { echo "guest: the user's prefix $user/prefix was changed"; return 1; }
  kill -0 "$user_x" 2>/dev/null || { echo "guest: the user's X server was ended"; return 1; }
  kill "$user_x"
}
guest_hang() {
  local dir=$out/hang log=$out/hang.log
  rm -rf "$dir" && mkdir -p "$dir" && wine_env_holder_build || return 1
  cat >"$dir/CTestTestfile.cmake" <<EOF
add_test(up bash $repo/scripts/wine-env.sh up $dir/wine)
add_test(down bash $repo/scripts/wine-env.sh down $dir/wine)
add_test(hang $repo/scripts/wine-run --env $dir/wine $wine_env_holder)
set_tests_properties(up PROPERTIES FIXTURES_SETUP w)
set_tests_properties(down PROPERTIES FIXTURES_CLEANUP w)
set_tests_properties(hang PROPERTIES FIXTURES_REQUIRED w TIMEOUT 5)
EOF
  # The environment is brought up first: on a fresh machine its prefix may take a minute, which
  # is not what the limit below is about.
  bash scripts/wine-env.sh up "$dir/wine" || return 1
  local start=$SECONDS
  ctest --test-dir "$dir" --output-on-failure >"$log" 2>&1
  grep -q 'hang .*Timeout' "$log" && grep -q '^desktop held' "$log" && [ $((SECONDS - start)) -lt 60 ] ||
    { cat "$log"; echo "guest: the hanging case's output did not reach CTest at its limit"; return 1; }
}
guest_no_root() {
  local said
  [ "$(id -u)" -eq 0 ] || { echo "guest: not root, so the check without root is left out"; return 0; }
  said=$(setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin \
           bash scripts/wine10.sh --root 2>&1)
  [ $? -ne 0 ] && [ "$(wc -l <<<"$said")" -eq 1 ] ||
    { echo "guest: without root or sudo, wine10.sh said: $said"; return 1; }
}

# The suites, each a background job; wait_for NAME waits for one, showing its output once. Builds
# and, most, the analysis and the release check, which only keep the processors busy, yield to
# the tests, which have time limits.
declare -A job
run() {
  echo "== $1: started at $(($(date +%s) - began)) s"
  "$1_suite" >"$out/$1.log" 2>&1 </dev/null &
  job[$1]=$!
  [ "$1" != analysis ] || renice -n 19 -p "$!" >/dev/null
}
wait_for() {
  [ -n "${job[$1]:-}" ] || return 0
  wait "${job[$1]}"
  echo "== $1: ended at $(($(date +%s) - began)) s with $?"
  cat "$out/$1.log"
  unset "job[$1]"
}

! wants guest || guest_begin
if wants wine10; then
  wants "$kit_preset" || touch "$out/$kit_preset.built"
  # Mostly downloading, and needed last: made from the start.
  mkdir -p build/wine10
  rm -f build/wine10/root.status
  (bash scripts/wine10.sh --root >build/wine10/root.log 2>&1 </dev/null
    echo $? >build/wine10/root.status) &
  renice -n 10 -p "$!" >/dev/null
fi
trap 'kill -TERM -- $(jobs -p | sed "s/^/-/") 2>/dev/null; wait' EXIT
for suite in i686 x86_64 analysis; do ! wants "$suite" || run "$suite"; done
! wants host && ! wants fuzz && ! wants release || run host
! wants wine10 || run wine10
if wants guest; then
  check guest guest_hang
  check guest guest_no_root
fi
for suite in i686 x86_64 host analysis wine10; do wait_for "$suite"; done
! wants guest || check guest guest_end
trap - EXIT

read -r passed failed skipped < <(cat "$out"/*.count 2>/dev/null |
  awk '{p += $1; f += $2; s += $3} END {print p + 0, f + 0, s + 0}')
echo
echo "steps: ${steps[*]} ($(($(date +%s) - began)) s)"
echo "total: $passed passed, $failed failed$([ "$skipped" -eq 0 ] || echo ", $skipped skipped")"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
