#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its tests need, if any is
# missing: the mingw-w64 compilers with POSIX threads (the win32-thread ones
# have no std::thread), wine to run the tests, NSIS and zip for the installer
# and the portable archive, GoogleTest's sources, built with the cross
# compiler, and Xvfb with xdotool for the run of the window on a virtual
# screen, drawing the dialogs' Courier New as Liberation Mono. Quick when
# everything is already there.
set -euo pipefail

packages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine nsis zip unzip googletest
  xvfb xdotool fonts-liberation)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
