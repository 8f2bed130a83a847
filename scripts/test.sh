#!/usr/bin/env bash
# Builds and runs every check: the static analysis (scripts/analyse.sh), the i686 and x86_64
# Windows builds under Wine, the host build of the platform-independent core under
# AddressSanitizer and UBSan, a bounded run of each fuzz target over its corpus, and the release
# built twice to the same bytes (scripts/release.sh --check). Installs what it needs first.
# Usage: scripts/test.sh [preset...]   (default: analysis i686 x86_64 host fuzz release)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(analysis i686 x86_64 host fuzz release)

# Only the Windows presets run under Wine: the native ones need no display or prefix.
case " ${presets[*]} " in
  *" i686 "* | *" x86_64 "*)
    source scripts/wine-env.sh
    trap wine_env_down EXIT
    wine_env_up
    ;;
esac

passed=0
failed=0
status=0
for preset in "${presets[@]}"; do
  echo "== $preset"
  if [ "$preset" = analysis ]; then
    # Not a CMake preset: each analysis tool counts as one check.
    for tool in cppcheck clang-tidy; do
      if bash scripts/analyse.sh "$tool"; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        status=1
      fi
    done
    continue
  fi
  if [ "$preset" = release ]; then
    # Not a CMake preset, and no Wine: the release program and zip, built twice, are one check.
    if bash scripts/release.sh --check; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      status=1
    fi
    continue
  fi
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    echo "$preset: build failed"
    status=1
    continue
  fi
  log=$(mktemp)
  ctest --preset "$preset" -j "$(nproc)" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log")
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "$preset: ctest ran no test"
    status=1
    continue
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo
echo "presets: ${presets[*]}"
echo "total: $passed passed, $failed failed"
exit $status
