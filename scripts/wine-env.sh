# Sourced by scripts/wine-run and the other scripts that run Wine: makes sure a private Xvfb
# display, a private Wine prefix and a persistent wineserver are up, and exports the variables
# Wine runs with.
# Safe to source from several processes at once: the set-up runs under a lock.

wine_env_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Whether this machine executes 32-bit x86 programs, found out once per run by starting Wine's
# 32-bit loader and kept in WINE_ENV_32BIT (yes or no, with the reason in WINE_ENV_32BIT_WHY) for
# every process the run starts. Some kernels cannot execute them at all (IA32 emulation off):
# there Debian's wine and wineboot still pick that loader and fail, so every Wine call of ours
# goes through WINE_ENV_LOADER, the 64-bit loader itself, and only 64-bit programs run.
# WINE_64BIT_ONLY=1 takes that path on any machine, so that it can be tried where both work.
wine_env_loader32=/usr/lib/wine/wine
wine_env_loader64=/usr/lib/wine/wine64
if [ "${WINE_64BIT_ONLY:-}" = 1 ]; then
  WINE_ENV_32BIT=no
  WINE_ENV_32BIT_WHY="WINE_64BIT_ONLY=1 asks for 64-bit programs only"
elif [ -z "${WINE_ENV_32BIT:-}" ]; then
  if [ ! -x "$wine_env_loader32" ]; then
    WINE_ENV_32BIT=no
    WINE_ENV_32BIT_WHY="Wine's 32-bit loader $wine_env_loader32 is not installed"
  elif wine_env_probe=$("$wine_env_loader32" --version 2>&1); then
    WINE_ENV_32BIT=yes
    WINE_ENV_32BIT_WHY=""
  else
    WINE_ENV_32BIT=no
    WINE_ENV_32BIT_WHY="this machine cannot execute 32-bit programs"
    WINE_ENV_32BIT_WHY+=" ($wine_env_loader32 --version: ${wine_env_probe##*: })"
  fi
  unset wine_env_probe
fi
if [ "$WINE_ENV_32BIT" = yes ]; then
  WINE_ENV_LOADER=wine
else
  WINE_ENV_LOADER="$wine_env_loader64"
  export WINELOADER="$wine_env_loader64"
fi
export WINE_ENV_32BIT WINE_ENV_32BIT_WHY WINE_ENV_LOADER
# What the Windows presets are told about it when they are configured (tests/CMakeLists.txt).
wine_env_cmake_option="-DWINE_32BIT=$([ "$WINE_ENV_32BIT" = yes ] && echo ON || echo OFF)"

# A display of our own, so that tests never type into a developer's desktop.
wine_env_display_base="${WINE_DISPLAY_NUMBER:-57}"

# The Windows version a prefix reports to programs, set because Wine's own default may change
# between releases. The project's prefix reports Windows 7. The tests also run in the versions
# listed here (Wine 8 in a 64-bit prefix takes winxp64 for XP): WINE_WINDOWS_VERSION names one,
# which then always runs in a prefix of its own, build/wine-prefix-VERSION, made once like the
# project's, whatever WINEPREFIX was inherited, and on a display of its own, the number plus 100
# for the first, 200 for the second: Wine desktops of two prefixes on one display overlap (one
# stays up about a second after its last program), and a test reading the screen would see both.
wine_env_versions=(winxp64 win10)

# The display number of a version of the list, or of the project's prefix for none.
wine_env_display_of() {
  local i
  for i in "${!wine_env_versions[@]}"; do
    if [ "${wine_env_versions[$i]}" = "${1:-}" ]; then
      echo $((wine_env_display_base + 100 * (i + 1)))
      return
    fi
  done
  echo "$wine_env_display_base"
}

wine_env_project_prefix="${WINEPREFIX:-$wine_env_repo/build/wine-prefix}"
wine_env_display_number=$(wine_env_display_of "${WINE_WINDOWS_VERSION:-}")
if [ -z "${WINE_WINDOWS_VERSION:-}" ]; then
  wine_env_windows_version=win7
  export WINEPREFIX="$wine_env_project_prefix"
elif [ "$wine_env_display_number" != "$wine_env_display_base" ]; then
  wine_env_windows_version="$WINE_WINDOWS_VERSION"
  export WINEPREFIX="$wine_env_repo/build/wine-prefix-$WINE_WINDOWS_VERSION"
else
  echo "wine-env: WINE_WINDOWS_VERSION must be one of: ${wine_env_versions[*]}" >&2
  return 1
fi
export DISPLAY=":$wine_env_display_number"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# Skip the Mono and Gecko installers when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes its ANSI code page from the locale; under plain C it is not 1252 and Latin-1 breaks.
export LC_ALL=C.UTF-8

# Whether the Xvfb of a display number (by default this one's) runs.
wine_env_xvfb_alive() {
  local lock="/tmp/.X${1:-$wine_env_display_number}-lock"
  [ -f "$lock" ] && kill -0 "$(tr -d ' ' < "$lock")" 2>/dev/null
}

# Runs one step of making the prefix $WINEPREFIX: a program for Wine's loader with its arguments.
# On failure it names the command and shows its last lines.
wine_env_prefix_step() {
  local log="$WINEPREFIX.log" status
  "$WINE_ENV_LOADER" "$@" >"$log" 2>&1
  status=$?
  [ "$status" -eq 0 ] && [ -d "$WINEPREFIX/drive_c/windows" ] && return 0
  echo "wine-env: could not make the Wine prefix $WINEPREFIX: '$WINE_ENV_LOADER $*'" \
    "exited with $status; its last lines:" >&2
  tail -n 5 "$log" | sed 's/^/  /' >&2
  [ "$WINE_ENV_32BIT" = yes ] || echo "  (64-bit programs only: $WINE_ENV_32BIT_WHY)" >&2
  return 1
}

# Makes the prefix $WINEPREFIX the first time: no crash dialog (a crashing test would hang on
# it), the Windows version above, and with the argument "virtual-desktop" all windows inside one
# Wine desktop window. The .ready mark goes on only once all of that worked; a prefix without it
# is half made and is made again, from nothing when it lies in our own build folder. A prefix
# that cannot be made is an error.
wine_env_prefix() {
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    case "$WINEPREFIX" in
      "$wine_env_repo"/build/*) rm -rf "$WINEPREFIX" ;;
    esac
    local explorer='HKCU\Software\Wine\Explorer'
    wine_env_prefix_step wineboot.exe -i &&
      wine_env_prefix_step reg add 'HKCU\Software\Wine' /v Version \
        /d "$wine_env_windows_version" /f &&
      wine_env_prefix_step reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f || return 1
    if [ "${1:-}" = virtual-desktop ]; then
      wine_env_prefix_step reg add "$explorer" /v Desktop /d Default /f &&
        wine_env_prefix_step reg add "$explorer\\Desktops" /v Default /d 1280x1024 /f || return 1
    fi
    wineserver -w
    rm -f "$WINEPREFIX.log"
    touch "$WINEPREFIX/.ready"
  fi
  # Wine draws its caption buttons with its Marlett font, which it does not find in its own data
  # folder here: without the copy the close box shows the letter "r".
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -e "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
}

# Wine closes its virtual desktop about a second after the last GUI program on it has ended, and
# a program that starts in that second can get an X BadWindow and end without a window. So a
# hidden program of our own (scripts/desktop-hold.c) holds each prefix's desktop from wine_env_up
# to wine_env_down: built here, before any CMake build, when missing or older than its source;
# 64-bit, so that it runs wherever Wine does, and started by the 64-bit loader itself: through
# Debian's wine a 64-bit program runs as a child of start.exe, whose process id would be the one
# kept. Started once per prefix, its process id beside the prefix, so that the wine_env_up of
# every test process finds it running.
wine_env_holder="$wine_env_repo/build/desktop-hold.exe"

wine_env_holder_build() {
  local source="$wine_env_repo/scripts/desktop-hold.c" built="$wine_env_holder.$$"
  [ "$wine_env_holder" -nt "$source" ] && return 0
  mkdir -p "$(dirname "$wine_env_holder")"
  # Built beside and renamed, so that a process of another prefix never starts a half-written one.
  if ! x86_64-w64-mingw32-gcc -Os -s -mwindows -Wall -Wextra -Werror -o "$built" "$source"; then
    rm -f "$built"
    echo "wine-env: could not build the desktop holder $wine_env_holder" >&2
    return 1
  fi
  mv -f "$built" "$wine_env_holder"
}

# Starts the holder of $WINEPREFIX unless it runs, and waits until it holds the desktop: until
# then a program could still start on a desktop that is going away.
wine_env_hold() {
  local pidfile="$WINEPREFIX.desktop-hold.pid" log="$WINEPREFIX.desktop-hold.log"
  [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && return 0
  wine_env_holder_build || return 1
  setsid "$wine_env_loader64" "$wine_env_holder" >"$log" 2>&1 </dev/null &
  echo $! >"$pidfile"
  for _ in $(seq 300); do
    grep -q '^desktop held' "$log" && return 0
    kill -0 "$(cat "$pidfile")" 2>/dev/null || break
    sleep 0.1
  done
  echo "wine-env: the desktop holder did not take Wine's desktop of $WINEPREFIX; its last lines:" >&2
  tail -n 5 "$log" | sed 's/^/  /' >&2
  return 1
}

wine_env_up() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if ! wine_env_xvfb_alive; then
      rm -f "/tmp/.X$wine_env_display_number-lock" "/tmp/.X11-unix/X$wine_env_display_number"
      setsid Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 < /dev/null 9>&- &
      for _ in $(seq 100); do wine_env_xvfb_alive && break; sleep 0.1; done
    fi
    # A virtual desktop: without a window manager each hide of a top-level window otherwise
    # stalls about two seconds.
    wine_env_prefix virtual-desktop 9>&- || exit 1
    # Daemons must not inherit the lock's descriptor, or the lock stays held for their lifetime.
    # A persistent server saves about two seconds on every Wine process.
    wineserver -p >/dev/null 2>&1 9>&- || true
    wine_env_hold 9>&- || exit 1
  ) 9>"$(dirname "$WINEPREFIX")/.wine-env-$(basename "$WINEPREFIX").lock"
}

# Stops the wineservers and displays of the project's prefix and of the version prefixes.
wine_env_down() {
  local version prefix display
  for version in "" "${wine_env_versions[@]}"; do
    prefix="$wine_env_project_prefix"
    [ -z "$version" ] || prefix="$wine_env_repo/build/wine-prefix-$version"
    if [ -f "$prefix.desktop-hold.pid" ]; then
      kill "$(cat "$prefix.desktop-hold.pid")" 2>/dev/null || true
      rm -f "$prefix.desktop-hold.pid"
    fi
    [ -d "$prefix" ] && { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; }
    display=$(wine_env_display_of "$version")
    if wine_env_xvfb_alive "$display"; then
      kill "$(tr -d ' ' < "/tmp/.X$display-lock")" 2>/dev/null || true
    fi
  done
}
