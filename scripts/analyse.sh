#!/usr/bin/env bash
# Static analysis with cppcheck and clang-tidy, and the layout check of clang-format; a tool passes
# only when it reports nothing. Installs what it needs first.
#   cppcheck    the whole tree (tests and benchmarks too) as Windows ANSI code for i686, with its
#               Windows library in place of the system headers; then the files of the host build
#               (the core, the stand-in kernel32 and their tests) as that build compiles them.
#   clang-tidy  the checks in .clang-tidy on every file of the repository that the i686, x86_64 or
#               host build compiles, each read for its own build's target. Test programs that use
#               GoogleTest only with --with-tests: its headers cost seconds a file.
#   clang-format  every source and header of the product folders (app, frame, runtime, window,
#               gadget, requester) against .clang-format; lists each file it would change.
# The file lists of cppcheck and clang-tidy come from compile_commands.json of configure-only
# builds under build/analysis/, so new folders and programs are analysed as soon as the build
# knows them.
# Usage: scripts/analyse.sh [--with-tests] [cppcheck] [clang-tidy] [clang-format]
#        (default: all three)
# Ends with one line per tool, "analysis: TOOL passed" or "analysis: TOOL failed"; exits 1 when
# a tool failed.
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
  local dir="build/analysis/$1"
  cmake --preset "$1" -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null || return 1
  echo "$dir"
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
  local status=0
  cppcheck "${common[@]}" --platform=win32A --library=windows --library=googletest -I . \
           -i build -i tests/host . 2>&1 || status=1
  # GoogleTest's own sources under /usr are the host build's too.
  cppcheck "${common[@]}" --platform=unix64 --library=googletest \
           --project="$host/compile_commands.json" -i /usr 2>&1 || status=1
  return $status
}

# Runs clang-tidy with the extra ARGS on the sources of the compile database FOLDER, as many files
# at once as there are cores, and prints each file's findings in one piece.
tidy_sources() {
  local db=$1
  shift
  database_sources "$db" | xargs -d '\n' -r -P "$jobs" -n 1 sh -c '
    out=$(clang-tidy --quiet "$@" 2>&1)
    status=$?
    out=$(printf "%s\n" "$out" | grep -v -E "^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$")
    [ -z "$out" ] || printf "%s\n" "$out"
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
  local file status=0
  while IFS= read -r file; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
      echo "$file: not formatted (clang-format -i $file)"
      status=1
    fi
  done < <(find app frame runtime window gadget requester -type f \
             \( -name '*.cpp' -o -name '*.h' \) | sort)
  return $status
}

status=0
results=()
for tool in "${tools[@]}"; do
  echo "== analysis: $tool"
  log=$(mktemp)
  case "$tool" in
    cppcheck) run_cppcheck ;;
    clang-tidy) run_clang_tidy ;;
    clang-format) run_clang_format ;;
  esac > "$log"
  tool_status=$?
  cat "$log"
  # A finding that did not change the exit status still fails the tool.
  if [ "$tool_status" -eq 0 ] && [ ! -s "$log" ]; then
    results+=("analysis: $tool passed")
  else
    results+=("analysis: $tool failed")
    status=1
  fi
  rm -f "$log"
done
printf '%s\n' "${results[@]}"
exit $status
