#!/usr/bin/env bash
# Installs what the tests need, when it is missing and we are root. Quiet when all is there.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev binutils binutils-mingw-w64-i686
  gcc-mingw-w64-i686 libbenchmark-dev python3 python3-pefile python3-unicorn qemu-system-x86
  wine wine32:i386 clang libclang-rt-14-dev xvfb xauth
  fasm nasm)  # the last two only for scripts/benchmark.py, which compares against them

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "Missing packages (run as root to install): ${missing[*]}" >&2
  exit 0
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
