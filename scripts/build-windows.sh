#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64 into
# $TALVEK_WINDOWS_BUILD_DIR (default: build-windows/), 64-bit and static:
# the programs in its bin/. Only the layers ported so far are built
# (TALVEK_WINDOWS_LAYERS in CMakeLists.txt). Extra arguments go to CMake's
# configure step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_WINDOWS_BUILD_DIR:-$top/build-windows}

"$top/scripts/setup-windows.sh"
args=("$@")
[ -n "${CI:-}" ] && args+=(-DTALVEK_WERROR=ON)
if [ ! -f "$build/CMakeCache.txt" ] || [ ${#args[@]} -gt 0 ]; then
  cmake -S "$top" -B "$build" --toolchain "$top/cmake/mingw-w64-x86_64.cmake" "${args[@]}" >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)"
