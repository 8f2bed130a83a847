#!/usr/bin/env bash
# Makes the release in build/release: waagenfuchs-<version>-windows.zip (the stripped i686 program
# of build/i686, the one the end-to-end tests drive, with LIESMICH.txt), the program beside it and
# SHA256SUMS for both. The bytes depend on the commit alone (with Debian 12's tools).
# Usage: scripts/release.sh           the release
#        scripts/release.sh --tests   the release and the test kit for Windows PCs beside it,
#                                     waagenfuchs-<version>-windows-tests.zip (tests/kit/README.txt)
#        scripts/release.sh --check   builds the program and its zip twice, in build/repro-a and
#                                     build/repro-b/deeper, and names the first differing PE section
#                                     or zip entry
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh

# The zip's entries carry SOURCE_DATE_EPOCH, else the last commit's time, else (outside a checkout)
# 1980-01-01 00:00 UTC, the earliest a zip entry can hold; never the clock's.
epoch=${SOURCE_DATE_EPOCH:-}
if [ -z "$epoch" ]; then
  if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$repo" ]; then
    epoch=$(git log -1 --format=%ct)
  else
    echo "release: $repo is not a git checkout; the zip's entries are dated 1980-01-01" >&2
    epoch=315532800
  fi
fi
# Only the packing gets it: a link without --no-insert-timestamp would write it into the PE header
# and so hide such a link from the check.
unset SOURCE_DATE_EPOCH
release_py() {
  SOURCE_DATE_EPOCH=$epoch python3 scripts/release.py "$@"
}

# Configures the folder from the i686 preset and builds the targets given (for the release the
# program alone); Ninja's report is shown only when the build fails.
build_program() {
  local report
  cmake --preset i686 -B "$1" >/dev/null
  if ! report=$(cmake --build "$1" "${@:2}" 2>&1); then
    echo "$report" >&2
    return 1
  fi
}

if [ "${1:-}" = --check ]; then
  # A build from nothing in each folder, so that the second build cannot reuse the first's objects.
  for dir in build/repro-a build/repro-b/deeper; do
    build_program "$dir" --target waagenfuchs --clean-first
    release_py pack "$dir" "$dir/release"
  done
  exec python3 scripts/release.py compare build/repro-a/release build/repro-b/deeper/release
fi

[ -z "$(git status --porcelain 2>/dev/null)" ] ||
  echo "release: the working tree has uncommitted changes; this release is not the commit's" >&2
build_program build/i686 --target waagenfuchs
rm -rf build/release
release_py pack build/i686 build/release
(cd build/release && sha256sum -c SHA256SUMS)
if [ "${1:-}" = --tests ]; then
  # The kit's list names its programs; configuring wrote it. The program is already built.
  build_program build/i686 --target run_tests $(cut -d' ' -f1 build/i686/kit/tests.txt | sed 's/\.exe$//')
  release_py kit build/i686 build/release
fi
