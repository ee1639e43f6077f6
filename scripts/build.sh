#!/usr/bin/env bash
# Configures and builds into $TALVEK_BUILD_DIR (default: build/): everything,
# or with --programs only the window and talvek-cli (a first start needs no
# more). Extra arguments go to CMake's configure step.
#   scripts/build.sh [--programs] [CMAKE_ARGUMENTS...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
cache=$build/CMakeCache.txt
what=all
if [ "${1:-}" = --programs ]; then
  what=programs
  shift
fi

if [ $what = programs ]; then
  "$top/scripts/setup.sh" --programs
else
  "$top/scripts/setup.sh"
fi
args=()
if [ $what = programs ] && [ ! -f "$cache" ]; then
  args+=(-DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF)
elif [ $what = all ] && [ -f "$cache" ] && grep -q '^TALVEK_BUILD_TESTS:BOOL=OFF' "$cache"; then
  # A tree a first start made: the tests and benchmarks join it.
  args+=(-DTALVEK_BUILD_TESTS=ON -DTALVEK_BUILD_BENCH=ON)
fi
args+=("$@")
[ -n "${CI:-}" ] && args+=(-DTALVEK_WERROR=ON)
if [ ! -f "$cache" ] || [ ${#args[@]} -gt 0 ]; then
  cmake -S "$top" -B "$build" "${args[@]}" >/dev/null
fi
if [ $what = programs ]; then
  cmake --build "$build" --parallel "$(nproc)" --target talvek_app talvek_cli_app talvek_manual
else
  cmake --build "$build" --parallel "$(nproc)"
fi
