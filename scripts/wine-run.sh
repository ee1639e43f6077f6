#!/usr/bin/env bash
# Runs a Windows program under wine and passes its exit status through: the
# emulator CMake and CTest run the Windows build's programs with (see
# cmake/mingw-w64-x86_64.cmake).
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
# The wine prefix is $WINEPREFIX, else wine-prefix/ in the build folder whose
# bin/ holds the program (scripts/wine-env.sh), made on first use.
# TALVEK_WINE_LOCALE: the locale wine starts in, which sets its code pages.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: scripts/wine-run.sh PROGRAM.exe [ARGS...]" >&2; exit 2; }
. "$(dirname "$0")/wine-env.sh"
talvek_wine_env "$(cd "$(dirname "$1")/.." && pwd)"
talvek_wine_prefix
# The system's ANSI code page follows the locale wine is started in; a test
# asks for one with TALVEK_WINE_LOCALE (only wine gets it, not this shell).
if [ -n "${TALVEK_WINE_LOCALE:-}" ]; then
  exec env LC_ALL="$TALVEK_WINE_LOCALE" "$talvek_wine" "$@"
fi
exec "$talvek_wine" "$@"
