#!/usr/bin/env bash
# Builds Talvek and starts its window; arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
"$top/scripts/build.sh" >&2
exec "$build/bin/talvek" "$@"
