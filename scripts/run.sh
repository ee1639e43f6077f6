#!/usr/bin/env bash
# Builds the two programs (installing only what they need) and starts the
# window; arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
"$top/scripts/build.sh" --programs >&2
exec "$build/bin/talvek" "$@"
