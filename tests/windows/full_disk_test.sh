#!/usr/bin/env bash
# Runs the full-disk cases of windows_tests against a 1 MiB tmpfs that wine
# sees as a drive of its own, and removes both again.
#   tests/windows/full_disk_test.sh build-windows/bin/windows_tests.exe
# Mounting needs root: without it the cases are skipped (exit 77).
set -euo pipefail
exe=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/scripts/wine-env.sh"
talvek_wine_env "$(cd "$(dirname "$exe")/.." && pwd)"
talvek_wine_prefix

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: mounting a small disk needs root"
  exit 77
fi
disk=$(mktemp -d)
if ! mount -t tmpfs -o size=1m,mode=0777 tmpfs "$disk" 2>/dev/null; then
  rmdir "$disk"
  echo "skipped: no tmpfs can be mounted here"
  exit 77
fi
# The first drive letter from T that the prefix does not use yet.
drive=""
for letter in t u v w x y; do
  if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
    drive=$letter
    break
  fi
done
cleanup() {
  [ -n "$drive" ] && rm -f "$WINEPREFIX/dosdevices/$drive:"
  umount "$disk" && rmdir "$disk"
}
trap cleanup EXIT
[ -n "$drive" ] || { echo "no free drive letter in $WINEPREFIX/dosdevices"; exit 1; }
ln -s "$disk" "$WINEPREFIX/dosdevices/$drive:"
TALVEK_FULL_DISK_DIR="${drive^^}:" "$talvek_wine" "$exe" --gtest_filter='Win32FullDiskTest.*' \
  </dev/null
