#!/usr/bin/env bash
# Installs the Debian packages that are missing, if any: with --programs only
# what building and running the two programs needs, otherwise also what the
# tests, the benchmarks, the package and the fuzz targets need. Quick when
# everything is already there.
#   scripts/setup.sh [--programs]
set -euo pipefail

# Building and running the window and talvek-cli. At every start the window
# registers its file types with the desktop's own tools, and Courier New is
# drawn as Liberation Mono.
packages=(cmake make g++ pkg-config qt6-base-dev qt6-qpa-plugins libsqlite3-dev libmagic-dev
  fonts-liberation xdg-utils shared-mime-info desktop-file-utils)
if [ "${1:-}" != --programs ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth libfile-mimeinfo-perl)
  # The manual pages' test renders them as man does.
  packages+=(man-db groff-base)
  # Building and checking the Debian packages and their metadata; gio shows
  # file types as GLib-based desktops see them, and Caja's tools run its
  # file-manager actions.
  packages+=(dpkg-dev file lintian appstream libxml2-utils libglib2.0-bin caja-actions)
  # scripts/fuzz.sh: clang with libFuzzer and its sanitizer runtimes.
  packages+=(clang libclang-rt-dev)
fi

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
