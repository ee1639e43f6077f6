#!/usr/bin/env bash
# Configures and builds into $TALVEK_BUILD_DIR (default: build/). Extra
# arguments go to CMake's configure step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}

"$top/scripts/setup.sh"
args=("$@")
[ -n "${CI:-}" ] && args+=(-DTALVEK_WERROR=ON)
if [ ! -f "$build/CMakeCache.txt" ] || [ ${#args[@]} -gt 0 ]; then
  cmake -S "$top" -B "$build" "${args[@]}" >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)"
