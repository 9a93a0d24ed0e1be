#!/usr/bin/env bash
# Installs what the build and every test need on a fresh Debian 12 machine,
# skipping what is already there. As root it runs apt-get; otherwise it prints
# the command to run and fails. --pictures adds what `make pictures` needs.
set -euo pipefail

packages=(
  cmake make g++ clang libgtest-dev libtomlplusplus-dev libcli11-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 wine32:i386
  libbenchmark-dev nsis time osslsigncode openssl
  # The i586 runtime (scripts/runtime/build.sh): Debian's sources, unpacked and patched.
  patch bzip2 xz-utils
  # The 32-bit lane: a Debian guest under qemu where this kernel runs no 32-bit code.
  qemu-system-x86 debootstrap e2fsprogs cpio
)
# The README's pictures: a real X server for Wine's X11 driver, and the fonts it
# draws with (Tahoma, and Marlett for the frame buttons).
[ "${1:-}" = --pictures ] && packages+=(xvfb xauth fonts-wine)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

needs_i386=false
for p in "${missing[@]}"; do
  [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386 && needs_i386=true
done

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root:" >&2
  $needs_i386 && echo "  dpkg --add-architecture i386" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
$needs_i386 && dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
