#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Safe to run again: it installs only what is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build ccache g++ gcc make python3
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 socat
  xvfb xauth x11-utils imagemagick
  unixodbc unixodbc-dev libsqliteodbc sqlite3
  g++-powerpc-linux-gnu qemu-user
  cups printer-driver-cups-pdf poppler-utils
  libhdf5-dev python3-h5py
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
