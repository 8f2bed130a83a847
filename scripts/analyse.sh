#!/usr/bin/env bash
# Static analysis; a tool passes only when it reports nothing. Installs what it needs first.
#   cppcheck      the whole tree as Windows ANSI code for i686, then the host build's files
#   clang-tidy    .clang-tidy's checks on every file the i686, x86_64 or host build compiles, each
#                 for its own build's target (GoogleTest programs only with --with-tests: slow)
#   clang-format  the product folders against .clang-format
# The file lists come from configure-only builds under build/analysis/.
# Usage: scripts/analyse.sh [--with-tests] [cppcheck] [clang-tidy] [clang-format]  (default: all)
# Ends with a line "analysis: TOOL passed" or "... failed" per tool; exits 1 when one failed.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1

with_tests=0
tools=()
for arg in "$@"; do
  case "$arg" in
    --with-tests) with_tests=1 ;;
    cppcheck | clang-tidy | clang-format) tools+=("$arg") ;;
    *)
      echo "usage: scripts/analyse.sh [--with-tests] [cppcheck] [clang-tidy] [clang-format]" >&2
      exit 2
      ;;
  esac
done
[ ${#tools[@]} -gt 0 ] || tools=(cppcheck clang-tidy clang-format)
jobs=$(nproc)

# Configures PRESET, without building, into build/analysis/PRESET and prints that folder.
compile_database() {
  cmake --preset "$1" -B "build/analysis/$1" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null &&
    echo "build/analysis/$1"
}

# Prints the repository's C++ sources in the compile database of FOLDER, once each; without
# --with-tests not those compiled against GoogleTest.
database_sources() {
  awk -v repo="$repo/" -v tests="$with_tests" '
    /"command":/ { gtest = index($0, "/googletest/") > 0 }
    /"file":/ {
      file = $0
      sub(/^[^:]*: "/, "", file)
      sub(/",?$/, "", file)
      if (index(file, repo) == 1 && file ~ /\.(cc|cpp)$/ && (tests || !gtest)) print file
    }' "$1/compile_commands.json" | sort -u
}

run_cppcheck() {
  local host
  host=$(compile_database host) || return 1
  local common=(--std=c++17 --enable=warning,performance,portability,style --inline-suppr
                --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet -j "$jobs"
                --template='{file}:{line}: {severity} {id}: {message}')
  # No x86_64 view: cppcheck's type-size checks fire where a type is narrow, and no Windows type is
  # narrower on x86_64 than on i686. The host's stand-in windows.h is left to the host view: it
  # defines the names the Windows library already knows.
  cppcheck "${common[@]}" --platform=win32A --library=windows --library=googletest -I . \
           -i build -i tests/host . 2>&1
  local status=$?
  # GoogleTest's own sources under /usr are the host build's too.
  cppcheck "${common[@]}" --platform=unix64 --library=googletest \
           --project="$host/compile_commands.json" -i /usr 2>&1 && return $status
}

# Runs clang-tidy with the extra ARGS on the sources of the compile database FOLDER, as many files
# at once as there are cores, and prints each file's findings in one piece.
tidy_sources() {
  local db=$1
  shift
  database_sources "$db" | xargs -d '\n' -r -P "$jobs" -n 1 sh -c '
    out=$(clang-tidy --quiet "$@" 2>&1)
    status=$?
    printf "%s\n" "$out" | grep -v -E "^([0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.)?$"
    exit $status' clang-tidy -p "$db" "$@"
}

# Prints the clang-tidy arguments that make clang read the MinGW build in FOLDER for its target:
# clang finds the MinGW C headers itself, but the C++ library's headers only where the build's own
# compiler keeps them.
mingw_arguments() {
  local cxx
  cxx=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "$1/compile_commands.json" | head -n 1)
  echo "--extra-arg-before=--target=$("$cxx" -dumpmachine)"
  "$cxx" -xc++ -E -v /dev/null 2>&1 | sed -n '/search starts here:/,/End of search/p' |
    sed -n 's|^ *\(.*/include/c++.*\)$|--extra-arg=-isystem\1|p'
}

# Both Windows builds: LRESULT, WPARAM and LONG_PTR are 64 bits wide only in the x86_64 one.
run_clang_tidy() {
  local status=0 preset db args
  for preset in i686 x86_64; do
    db=$(compile_database "$preset") || return 1
    mapfile -t args < <(mingw_arguments "$db")
    tidy_sources "$db" "${args[@]}" || status=1
  done
  db=$(compile_database host) || return 1
  tidy_sources "$db" || status=1
  return $status
}

# Names every product file that clang-format would change, with the command that formats it.
run_clang_format() {
  local file
  for file in $(find app frame runtime window gadget requester -name '*.cpp' -o -name '*.h' | sort); do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 ||
      echo "$file: not formatted (clang-format -i $file)"
  done
}

status=0
results=()
for tool in "${tools[@]}"; do
  echo "== analysis: $tool"
  # A finding that did not change the exit status still fails the tool.
  if said=$("run_${tool//-/_}") && [ -z "$said" ]; then
    results+=("analysis: $tool passed")
  else
    printf '%s\n' "$said"
    results+=("analysis: $tool failed")
    status=1
  fi
done
printf '%s\n' "${results[@]}"
exit $status
