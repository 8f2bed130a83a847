# Sourced by scripts/wine-run and scripts/test.sh: makes sure a private Xvfb display, a private
# Wine prefix and a persistent wineserver are up, and exports the variables Wine runs with.
# Safe to source from several processes at once: the set-up runs under a lock.

wine_env_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
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

# Makes the prefix $WINEPREFIX the first time: no crash dialog (a crashing test would hang on
# it), the Windows version above, and with the argument "virtual-desktop" all windows inside one
# Wine desktop window.
wine_env_prefix() {
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /d "$wine_env_windows_version" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    if [ "${1:-}" = virtual-desktop ]; then
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
    fi
    wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  # Wine draws its caption buttons with its Marlett font, which it does not find in its own data
  # folder here: without the copy the close box shows the letter "r".
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -e "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
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
    wine_env_prefix virtual-desktop 9>&-
    # Daemons must not inherit the lock's descriptor, or the lock stays held for their lifetime.
    # A persistent server saves about two seconds on every Wine process.
    wineserver -p >/dev/null 2>&1 9>&- || true
  ) 9>"$(dirname "$WINEPREFIX")/.wine-env-$(basename "$WINEPREFIX").lock"
}

# Stops the wineservers and displays of the project's prefix and of the version prefixes.
wine_env_down() {
  local version prefix display
  for version in "" "${wine_env_versions[@]}"; do
    prefix="$wine_env_project_prefix"
    [ -z "$version" ] || prefix="$wine_env_repo/build/wine-prefix-$version"
    [ -d "$prefix" ] && { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; }
    display=$(wine_env_display_of "$version")
    if wine_env_xvfb_alive "$display"; then
      kill "$(tr -d ' ' < "/tmp/.X$display-lock")" 2>/dev/null || true
    fi
  done
}
