#!/usr/bin/env bash
# Runs the test kit (scripts/release.sh --tests) under Debian 13's Wine 10, in a Debian 13 root
# under build/wine10/, made once with debootstrap (marked .ready only when every step worked).
# The kit runs through its run-tests.cmd, on displays from the host's display number plus 300.
# Every mount is undone and every process in the root ended on every way out.
# Usage: scripts/wine10.sh KIT.zip
#        scripts/wine10.sh --root   (only makes the root, or gives it the packages it lacks)
# Ends with the runners' exit code, their reports in build/wine10/report.txt; 1 when the root
# cannot be made, naming the failing command and its last lines. Making, mounting and entering
# the root go through sudo -n for an ordinary user; all else, the kit and its prefix included,
# stays the user's.
set -uo pipefail
PATH+=:/usr/sbin:/sbin
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo -n"
  $sudo true 2>/dev/null || {
    echo "wine10: needs root, or sudo without a password prompt (sudo -v first), for its root" >&2
    exit 1
  }
fi
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kit=${1:?usage: scripts/wine10.sh KIT.zip | --root}
here=$repo/build/wine10
root=$here/root
inside=/waagenfuchs  # the folder in the root for the scripts, the kits and their prefixes
display=$((${WINE_DISPLAY_NUMBER:-57} + 300))
# With the preloaders, as on the host (scripts/setup.sh says why).
packages=(wine wine64 wine32:i386 wine64-preloader wine32-preloader:i386 fonts-wine xvfb xauth)
mounts=()

say() { echo "wine10: $*" >&2; }

# Everything the root holds open goes on every way out: its processes first, then its mounts.
# A process counts as the root's when its root directory is the root.
root_leave() {
  local pid left
  for _ in 1 2 3 4 5; do
    left=0
    for pid in /proc/[0-9]*; do
      [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] || continue
      [ "$(awk '{print $3}' "$pid/stat" 2>/dev/null)" = Z ] && continue
      $sudo kill -9 "${pid#/proc/}" 2>/dev/null && left=$((left + 1))
    done
    [ "$left" -eq 0 ] && break
    sleep 0.5
  done
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    $sudo umount "${mounts[$i]}" 2>/dev/null || $sudo umount -l "${mounts[$i]}" ||
      say "could not unmount ${mounts[$i]}"
  done
  mounts=()
}
trap root_leave EXIT
trap 'exit 130' INT TERM HUP

# step LOG COMMAND...: runs a step of making the root with its output in LOG; on failure names the
# command and shows its last lines.
step() {
  local log=$1 status
  shift
  "$@" >"$log" 2>&1
  status=$?
  [ "$status" -eq 0 ] && return 0
  say "could not make the Debian 13 root: '$*' exited with $status; its last lines:"
  tail -n 5 "$log" | sed 's/^/  /' >&2
  return 1
}

root_mount() {
  step "$here/mount.log" $sudo mount -t proc proc "$root/proc" && mounts+=("$root/proc") &&
    step "$here/mount.log" $sudo mount --bind /dev "$root/dev" && mounts+=("$root/dev") &&
    step "$here/mount.log" $sudo mount --bind /dev/pts "$root/dev/pts" && mounts+=("$root/dev/pts")
}

# Installs the packages into the mounted root; once they are all there, their list goes into the
# .ready mark, so that a root made with an older list gets the new packages on its next run.
root_packages() {
  step "$here/apt.log" $sudo chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive sh -c "dpkg --add-architecture i386 && apt-get update &&
      apt-get install -y --no-install-recommends ${packages[*]} && apt-get clean" || return 1
  echo "${packages[*]}" | $sudo tee "$root/.ready" >/dev/null
}

# A half-made root is made again from nothing, once nothing is mounted inside it: a bind mount of
# /dev left in it would otherwise be emptied too.
root_make() {
  if grep -q " $root/" /proc/mounts; then
    say "$root still has mounts of an earlier run; unmount them first:"
    grep " $root/" /proc/mounts | cut -d' ' -f2 | sed 's/^/  /' >&2
    return 1
  fi
  $sudo rm -rf "$root"
  mkdir -p "$here"
  command -v debootstrap >/dev/null || { say "debootstrap is not installed"; return 1; }
  say "making the Debian 13 root $root (a few minutes, once)"
  step "$here/debootstrap.log" $sudo debootstrap --variant=minbase trixie "$root" || return 1
  root_mount || return 1
  root_packages
}

began=$(date +%s)
if [ ! -f "$root/.ready" ]; then
  root_make || exit 1
else
  root_mount || exit 1
  [ "$(cat "$root/.ready")" = "${packages[*]}" ] || root_packages || exit 1
fi
[ "$kit" != --root ] || exit 0

# The scripts fresh from the tree, the kit into fresh folders: nothing of an earlier run stays.
# The folder for them inside the root is the caller's, and so is what runs there.
$sudo mkdir -p "$root$inside" && $sudo chown "$(id -u):$(id -g)" "$root$inside" || exit 1
rm -rf "$root$inside/scripts" "$root$inside"/kit*
mkdir -p "$root$inside/scripts" "$root$inside/build" "$root$inside/home"
cp -p "$repo/scripts/wine-env.sh" "$repo/scripts/desktop-hold.c" "$root$inside/scripts/"
# The desktop holder that wine-env.sh starts, built on the host (the root has no compiler) and
# copied with its time, so that it stays newer than its source.
cp -p "$repo/build/desktop-hold.exe" "$root$inside/build/" ||
  { say "no desktop holder $repo/build/desktop-hold.exe; wine-env.sh builds it on the host"; exit 1; }
# Two runs side by side, each with a copy of the kit, a prefix and a display of its own; the
# programs are dealt to them longest time limit first, each to the run whose limits add up to less.
for run in 1 2; do
  python3 -m zipfile -e "$kit" "$root$inside/kit$run" || { say "cannot unpack $kit"; exit 1; }
done
sort -k2,2nr "$root$inside/kit1/tests.txt" | awk -v kits="$root$inside/kit" '
  { run = (sum[1] <= sum[2]) ? 1 : 2; sum[run] += $2; lines[run] = lines[run] $0 "\n" }
  END { for (run = 1; run <= 2; run++) printf "%s", lines[run] > (kits run "/tests.txt") }'

# kit_run N: the kit's run N, in its own Wine environment inside the root.
kit_run() {
  $sudo chroot --userspec="$(id -u):$(id -g)" "$root" /usr/bin/env -i PATH=/usr/bin:/bin \
    HOME=$inside/home TERM=dumb WINE_DISPLAY_NUMBER=$((display + $1 - 1)) \
    WINE_64BIT_ONLY="${WINE_64BIT_ONLY:-}" bash -c "source $inside/scripts/wine-env.sh || exit 1
      [ $1 = 2 ] || \"\$WINE_ENV_LOADER\" --version
      env=$inside/build/kit$1/wine
      wine_env_up \$env && wine_env_use \$(wine_env_dir \$env) || exit 1
      cd $inside/kit$1 && \"\$WINE_ENV_LOADER\" cmd /c run-tests.cmd
      status=\$?
      wine_env_down \$env
      exit \$status" 2>&1
}
kit_run 1 &
kit_run 2
status=$?
wait $! || status=1
cat "$root$inside"/kit[12]/report.txt >"$here/report.txt" 2>/dev/null
say "$(($(date +%s) - began)) s; the report is $here/report.txt"
exit "$status"
