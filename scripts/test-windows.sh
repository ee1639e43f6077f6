#!/usr/bin/env bash
# Cross-builds the Windows tests (scripts/build-windows.sh) and runs them
# under wine through CTest, in a wine prefix of the build's own
# (build-windows/wine-prefix, made once). Extra arguments go to CMake's
# configure step.
# One wine server serves the whole run, started before CTest with wine's own
# services, so that no test pays for their start and none of them holds a
# test's output open; it is stopped at the end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_WINDOWS_BUILD_DIR:-$top/build-windows}
export TALVEK_WINDOWS_BUILD_DIR=$build
"$top/scripts/build-windows.sh" "$@"

. "$top/scripts/wine-env.sh"
talvek_wine_env "$build"
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

start=$(date +%s.%N)
made=ready
[ -f "$WINEPREFIX/.talvek-ready" ] || made=made
talvek_wine_prefix
echo "wine prefix: $made in $(seconds_since "$start") s"

start=$(date +%s.%N)
"$talvek_wineserver" -k 2>/dev/null || true
"$talvek_wineserver" -p </dev/null >>"$build/wineserver.log" 2>&1
trap '"$talvek_wineserver" -k 2>/dev/null || true' EXIT
# Starts wine's services, with their output going to the log, not to CTest.
"$talvek_wine" cmd /c exit </dev/null >>"$build/wineserver.log" 2>&1
echo "wine server: up in $(seconds_since "$start") s"

start=$(date +%s.%N)
status=0
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600) || status=$?
echo "windows tests: $(seconds_since "$start") s under wine"
exit "$status"
