#!/usr/bin/env bash
# Builds Talvek and starts it; arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
"$top/scripts/build.sh" >&2
for program in talvek talvek-cli; do
  if [ -x "$build/bin/$program" ]; then
    exec "$build/bin/$program" "$@"
  fi
done
echo "No program is built yet; running the codec benchmark instead." >&2
exec "$build/bin/codec_bench" --benchmark_min_time=0.05
