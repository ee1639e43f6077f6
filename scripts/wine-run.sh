#!/usr/bin/env bash
# Runs a Windows program under wine and passes its exit status through: the
# emulator CMake and CTest run the Windows build's tests with (see
# cmake/mingw-w64-x86_64.cmake).
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh --init        only make the wine prefix, if missing
# The prefix is $WINEPREFIX, by default wine-prefix/ in the build folder
# above the program's bin/ ($TALVEK_WINDOWS_BUILD_DIR, else build-windows/,
# for --init). Made once, quietly, with no window, no Mono and no Gecko.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-run.sh: $wine missing; run scripts/setup-windows.sh" >&2; exit 127; }

if [ "${1:-}" = "--init" ]; then
  default_prefix=${TALVEK_WINDOWS_BUILD_DIR:-$top/build-windows}/wine-prefix
else
  [ $# -ge 1 ] || { echo "usage: scripts/wine-run.sh PROGRAM.exe [ARGS...] | --init" >&2; exit 2; }
  default_prefix=$(cd "$(dirname "$1")/.." && pwd)/wine-prefix
fi
export WINEPREFIX=${WINEPREFIX:-$default_prefix}
export WINEDEBUG=-all
# The Mono and Gecko installers would ask for downloads in a window.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

# One prefix for all tests: the first caller makes it, the others wait.
# The init's own processes get no inherited output, so that nobody waits on
# a pipe they hold.
if [ ! -f "$WINEPREFIX/.talvek-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.talvek-ready" ]; then
    "$wine" wineboot -i </dev/null >"$WINEPREFIX.init.log" 2>&1 || {
      echo "wine-run.sh: wineboot failed, see $WINEPREFIX.init.log" >&2
      exit 1
    }
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.talvek-ready"
  fi
  exec 9>&-
fi
[ "${1:-}" = "--init" ] && exit 0

exec "$wine" "$@"
