#!/usr/bin/env bash
# Runs the read-only cases of windows_tests as an ordinary user (nobody),
# for whom wine honours the read-only attribute, as it does not for root.
# The user gets a wine prefix of its own, made once, and a copy of the test
# program: a build tree below a folder closed to others (/root) is out of its
# reach.
#   tests/windows/read_only_as_user_test.sh build-windows/bin/windows_tests.exe
# Not run as root, windows_tests itself covers them: skipped (exit 77).
set -euo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/scripts/wine-env.sh"
build=$(cd "$(dirname "$exe")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: not root, so windows_tests has run these cases as they are"
  exit 77
fi
uid=65534
place=${TMPDIR:-/tmp}/talvek-wine-user-$(printf '%s' "$build" | md5sum | cut -c1-12)
prefix=$place/prefix
mkdir -p "$prefix" "$prefix-home"
chmod 755 "$place"
chown "$uid:$uid" "$prefix" "$prefix-home"
copy=$(mktemp -d "$place/program.XXXXXX")
trap 'rm -rf "$copy"' EXIT
cp "$exe" "$copy/"
chmod 755 "$copy"
exe=$copy/$(basename "$exe")
output=$(setpriv --reuid="$uid" --regid="$uid" --clear-groups \
  env -i PATH=/usr/bin:/bin HOME="$prefix-home" WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    bash -c '
      set -e
      if [ ! -f "$WINEPREFIX/.talvek-ready" ]; then
        "$0" wineboot -i </dev/null >/dev/null 2>&1
        "$1" -w
        touch "$WINEPREFIX/.talvek-ready"
      fi
      status=0
      "$0" "$2" --gtest_filter="Win32ReadOnlyTest.*" </dev/null 2>&1 || status=$?
      "$1" -k 2>/dev/null || true
      exit $status' "$talvek_wine" "$talvek_wineserver" "$exe") || { echo "$output"; exit 1; }
echo "$output"
# Skipped even here would prove nothing.
if grep -q "SKIPPED" <<<"$output"; then
  echo "the read-only attribute did not count for uid $uid either"
  exit 1
fi
