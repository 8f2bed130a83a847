#!/usr/bin/env bash
# Builds the release program (i686) and runs it under Wine: on your display when DISPLAY is set,
# otherwise on the project's own Xvfb display. Installs what it needs first.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/setup.sh
cmake --preset i686 >/dev/null
cmake --build --preset i686 --target waagenfuchs
program=build/i686/waagenfuchs.exe
echo "built $program ($(stat -c %s "$program") bytes)"
user_display="${DISPLAY:-}"
source scripts/wine-env.sh
wine_env_up
[ -z "$user_display" ] || export DISPLAY="$user_display"
status=0
wine "$program" || status=$?
echo "exit code $status"
