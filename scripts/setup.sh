#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# Quick when everything is already there.
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev libsqlite3-dev libmagic-dev libgtest-dev libgmock-dev
  libbenchmark-dev fonts-liberation xvfb xauth desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl)
# The manual pages' test renders them as man does.
packages+=(man-db groff-base)
# Building and checking the Debian package and its metadata; gio shows file
# types as GLib-based desktops see them.
packages+=(dpkg-dev file lintian appstream libxml2-utils libglib2.0-bin)
# scripts/fuzz.sh: clang with libFuzzer and its sanitizer runtimes.
packages+=(clang libclang-rt-dev)

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
