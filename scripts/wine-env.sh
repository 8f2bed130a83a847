# The Wine environments of the tests and scripts: folders (build/PRESET/wine for a preset's tests)
# that each hold a Wine prefix, the number of their Xvfb display and the process ids of what was
# started for them, so that ending one ends exactly that. An inherited WINEPREFIX and the user's X
# displays are never used. WINE_WINDOWS_VERSION=V (one of wine_env_versions) and WINE_64BIT_ONLY=1
# each select an environment beside the folder named: FOLDER-V, FOLDER-64bit-only.
# Usage: scripts/wine-env.sh up FOLDER     makes the prefix once, starts the display, the
#                                          wineserver and the desktop holder
#        scripts/wine-env.sh down FOLDER   ends what up started there
#        scripts/wine-env.sh probe         prints ON when Wine runs 32-bit programs here, else OFF
# Sourced, it only defines the functions and the variables below.

wine_env_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_env_loader64=/usr/lib/wine/wine64
# Versions a prefix may report besides the project's own, Windows 7 (the default of Wine may change).
wine_env_versions=(winxp64 win10)

# Whether this machine executes 32-bit programs, decided here alone by starting Wine's 32-bit
# loader: WINE_ENV_32BIT is yes or no, WINE_ENV_32BIT_WHY says why not. Where it cannot, Debian's
# wine and wineboot still pick that loader, so every call goes to the 64-bit loader itself.
# WINE_64BIT_ONLY=1 takes that path on any machine.
if [ "${WINE_64BIT_ONLY:-}" = 1 ]; then
  WINE_ENV_32BIT=no
  WINE_ENV_32BIT_WHY="WINE_64BIT_ONLY=1 asks for 64-bit programs only"
elif wine_env_probe=$(/usr/lib/wine/wine --version 2>&1); then
  WINE_ENV_32BIT=yes
  WINE_ENV_32BIT_WHY=""
else
  WINE_ENV_32BIT=no
  WINE_ENV_32BIT_WHY="this machine cannot execute 32-bit programs"
  WINE_ENV_32BIT_WHY+=" (/usr/lib/wine/wine --version: ${wine_env_probe##*: })"
fi
unset wine_env_probe
# The loader of every Wine call, and the preset whose programs the scripts run.
WINE_ENV_LOADER=wine WINE_ENV_PRESET=i686
[ "$WINE_ENV_32BIT" = yes ] || WINE_ENV_LOADER=$wine_env_loader64 WINE_ENV_PRESET=x86_64

wine_env_say() { echo "wine-env: $*" >&2; }

# The environment folder that BASE stands for, with the selections above.
wine_env_dir() {
  local dir=$1
  if [ -n "${WINE_WINDOWS_VERSION:-}" ]; then
    case " ${wine_env_versions[*]} " in
      *" $WINE_WINDOWS_VERSION "*) dir+="-$WINE_WINDOWS_VERSION" ;;
      *) wine_env_say "WINE_WINDOWS_VERSION must be one of: ${wine_env_versions[*]}"; return 1 ;;
    esac
  fi
  [ "${WINE_64BIT_ONLY:-}" != 1 ] || dir+=-64bit-only
  echo "$dir"
}

# Exports the variables Wine runs with in the environment folder DIR. Its display when it is up,
# none otherwise: never one that the caller inherited.
wine_env_use() {
  export WINEPREFIX="$1/prefix" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono or Gecko installers, and no menu entries or file types written into the user's home;
  # the ANSI code page is 1252 only under a UTF-8 locale.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=C.UTF-8
  unset WINESERVER DISPLAY
  [ ! -f "$1/up" ] || export DISPLAY=":$(cat "$1/display")"
  if [ "$WINE_ENV_32BIT" = yes ]; then unset WINELOADER; else export WINELOADER=$wine_env_loader64; fi
}

# wine_env_step LOG PROGRAM...: a step of making a prefix; on failure names it, with its last lines.
wine_env_step() {
  local log=$1 status
  shift
  "$WINE_ENV_LOADER" "$@" >"$log" 2>&1
  status=$?
  [ "$status" -eq 0 ] && return 0
  wine_env_say "'$WINE_ENV_LOADER $*' in $WINEPREFIX exited with $status; its last lines:"
  tail -n 5 "$log" | sed 's/^/  /' >&2
  [ "$WINE_ENV_32BIT" = yes ] || wine_env_say "(64-bit programs only: $WINE_ENV_32BIT_WHY)"
  return 1
}

# Makes DIR/prefix unless it is ready: a copy of the template made once by wineboot (one per kind
# of loader; with Marlett, which Wine draws caption buttons with and does not find itself), then
# the Windows version, no crash dialog (a crashing test would hang on it) and, unless the second
# argument is "plain", one Wine desktop window for all windows: without a window manager each hide
# of a top-level window otherwise stalls about two seconds.
wine_env_prefix() {
  local dir=$1 template="$wine_env_repo/build/wine/template"
  [ "$WINE_ENV_32BIT" = yes ] || template+=-64bit-only
  [ -f "$dir/prefix/.ready" ] && return 0
  mkdir -p "$template"
  (
    flock 8
    [ -f "$template/prefix/.ready" ] && exit 0
    rm -rf "$template/prefix"
    wine_env_say "making the Wine prefix $template/prefix (once; a minute at most)"
    wine_env_use "$template"
    wine_env_step "$template/prefix.log" wineboot.exe -i || exit 1
    wineserver -w
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    touch "$WINEPREFIX/.ready"
  ) 8>"$template.lock" || return 1
  rm -rf "$dir/prefix"
  cp -a "$template/prefix" "$dir/prefix" && rm "$dir/prefix/.ready" || return 1
  local key='[HKEY_CURRENT_USER\Software\Wine' reg="$dir/prefix.reg"
  {
    printf 'REGEDIT4\n\n%s]\n"Version"="%s"\n\n' "$key" "${WINE_WINDOWS_VERSION:-win7}"
    printf '%s\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n\n' "$key"
    [ "${2:-}" = plain ] || printf '%s\\Explorer]\n"Desktop"="Default"\n\n%s\\Explorer\\Desktops]\n"Default"="1280x1024"\n' "$key" "$key"
  } >"$reg"
  (wine_env_use "$dir" && wine_env_step "$dir/prefix.log" reg import "Z:${reg//\//\\}" && wineserver -w) ||
    return 1
  touch "$dir/prefix/.ready"
}

# Starts Xvfb on the first free display number from WINE_DISPLAY_NUMBER (57) up, its number and
# process id kept in DIR. A number with an X lock file or socket is skipped (and said, unless one
# of our environments holds it); a server that loses a race for a number ends by itself.
wine_env_display() {
  local dir=$1 first=${WINE_DISPLAY_NUMBER:-57} n pid ours
  ours=$(cat "$wine_env_repo"/build/*/wine*/xvfb.pid "$wine_env_repo"/build/wine/*/xvfb.pid \
           2>/dev/null)
  for ((n = first; n < first + 100; n++)); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then
      pid=$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)
      [ -n "$pid" ] && grep -qx "$pid" <<<"$ours" ||
        wine_env_say "display :$n is taken by an X server of someone else; trying :$((n + 1))"
      continue
    fi
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 100); do
      if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
        echo "$pid" >"$dir/xvfb.pid"
        echo "$n" >"$dir/display"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
  done
  wine_env_say "no free X display from :$first to :$((first + 99))"
  return 1
}

# A hidden program (scripts/desktop-hold.c) holds Wine's virtual desktop while the environment is
# up: Wine closes it a second after the last GUI program on it ended, and a program starting in
# that second can lose its window. As the first Wine process it also gives Wine's services its
# log, not a caller's pipe. Built when older than its source; 64-bit, so that it runs wherever Wine
# does, and started by the 64-bit loader itself, whose process id is the program's.
wine_env_holder="$wine_env_repo/build/desktop-hold.exe"
wine_env_holder_build() {
  local source="$wine_env_repo/scripts/desktop-hold.c"
  [ "$wine_env_holder" -nt "$source" ] && return 0
  mkdir -p "$(dirname "$wine_env_holder")"
  # Built beside and renamed, so that another environment never starts a half-written one.
  x86_64-w64-mingw32-gcc -Os -s -mwindows -Wall -Wextra -Werror -o "$wine_env_holder.$$" \
    "$source" && mv -f "$wine_env_holder.$$" "$wine_env_holder" ||
    { rm -f "$wine_env_holder.$$"; wine_env_say "could not build $wine_env_holder"; return 1; }
}
wine_env_hold() {
  local dir=$1
  wine_env_holder_build || return 1
  setsid "$wine_env_loader64" "$wine_env_holder" >"$dir/hold.log" 2>&1 </dev/null &
  echo $! >"$dir/hold.pid"
  for _ in $(seq 300); do
    grep -q '^desktop held' "$dir/hold.log" && return 0
    kill -0 "$(cat "$dir/hold.pid")" 2>/dev/null || break
    sleep 0.1
  done
  wine_env_say "the desktop holder did not take Wine's desktop of $dir; its last lines:"
  tail -n 5 "$dir/hold.log" | sed 's/^/  /' >&2
  return 1
}

# Whether the process PID, kept in a record of ours, still runs PROGRAM (a number can be reused).
wine_env_runs() {
  [ -n "$1" ] && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q "$2"
}

# Brings the environment of BASE up unless it is, under a lock: any number of callers may ask.
wine_env_up() {
  local dir
  dir=$(wine_env_dir "$1") || return 1
  mkdir -p "$dir"
  (
    flock 9
    if [ -f "$dir/up" ] && wine_env_runs "$(cat "$dir/xvfb.pid")" Xvfb &&
       wine_env_runs "$(cat "$dir/hold.pid")" desktop-hold; then
      exit 0
    fi
    wine_env_stop "$dir"
    wine_env_prefix "$dir" 9>&- || exit 1
    wine_env_display "$dir" 9>&- || exit 1
    wine_env_use "$dir"
    export DISPLAY=":$(cat "$dir/display")"
    wine_env_hold "$dir" 9>&- || exit 1
    touch "$dir/up"
  ) 9>"$dir.lock"
}

# Ends what was started for the environment folder DIR, by its records alone.
wine_env_stop() {
  local dir=$1
  rm -f "$dir/up"
  [ ! -d "$dir/prefix" ] || (wine_env_use "$dir" && wineserver -k >/dev/null 2>&1) || true
  ! wine_env_runs "$(cat "$dir/hold.pid" 2>/dev/null)" desktop-hold ||
    kill "$(cat "$dir/hold.pid")"
  ! wine_env_runs "$(cat "$dir/xvfb.pid" 2>/dev/null)" Xvfb || kill "$(cat "$dir/xvfb.pid")"
  rm -f "$dir/hold.pid" "$dir/xvfb.pid" "$dir/display"
}

wine_env_down() {
  local dir
  dir=$(wine_env_dir "$1") || return 1
  [ ! -d "$dir" ] || (flock 9 && wine_env_stop "$dir") 9>"$dir.lock"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    up) wine_env_up "$(realpath -m "${2:?}")" ;;
    down) wine_env_down "$(realpath -m "${2:?}")" ;;
    probe) [ "$WINE_ENV_32BIT" = yes ] && echo ON || { echo OFF; wine_env_say "$WINE_ENV_32BIT_WHY"; } ;;
    *) sed -n 's/^# Usage: //p; s/^#        //p' "${BASH_SOURCE[0]}" >&2; exit 2 ;;
  esac
fi
