#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Does nothing when all are present,
# so both README commands and CI may call it every time.
set -euo pipefail

# Wine's loaders are linked at fixed addresses just below the 2 GB line, and this kernel starts a
# 64-bit process's heap anywhere in the gigabyte above its program. Without the preloader, which
# reserves Wine's fixed areas before anything else is mapped, about one Wine process in a few
# hundred finds its heap where the shared user data must go and ends at once, silently under
# WINEDEBUG=-all ("failed to map the shared user data: c0000018").
packages=(
  cmake ninja-build make
  g++ g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest libbenchmark-dev
  clang libclang-rt-14-dev llvm
  wine wine32:i386 wine64 wine64-preloader wine32-preloader:i386 xvfb xauth fonts-wine imagemagick
  cppcheck clang-tidy clang-format
  python3 valgrind debootstrap
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
