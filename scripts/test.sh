#!/usr/bin/env bash
# Builds Talvek and runs every test: the Linux build's, then (for the plain
# command) the Windows build's under wine. Extra arguments go to CMake's
# configure step of the Linux build alone (for example -DTALVEK_SANITIZE=ON
# with TALVEK_BUILD_DIR=build-asan).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
"$top/scripts/build.sh" "$@"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
if [ $# -eq 0 ]; then
  echo "=== the Windows build, under wine ==="
  "$top/scripts/test-windows.sh"
fi
