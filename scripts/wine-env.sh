# Sourced by the scripts that run Windows programs under wine: the private
# wine prefix of a Windows build folder and the environment for it.
#   talvek_wine_env BUILD_DIR     exports it; WINEPREFIX, when set, is kept
#   talvek_wine_prefix            makes the prefix once; later calls are quick
# No window opens: there is no display, and the Mono and Gecko installers and
# the menu builder are off. The prefix's home (its Desktop, Documents ... link
# there) is a folder beside it, never the user's.
talvek_wine=/usr/lib/wine/wine64
talvek_wineserver=/usr/lib/wine/wineserver

talvek_wine_env() {
  export WINEPREFIX=${WINEPREFIX:-$1/wine-prefix}
  export HOME=$WINEPREFIX-home
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
  unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME
  if [ ! -x "$talvek_wine" ]; then
    echo "$talvek_wine missing: run scripts/setup-windows.sh" >&2
    return 127
  fi
}

# The first caller makes it, the others wait. wineboot's own processes get
# no inherited output, so that nobody waits on a pipe they hold open.
# Windows are made by wine's null driver, with no display at all, so that the
# window's tests run headless; TALVEK_WINE_GRAPHICS=x11 makes a prefix for
# $DISPLAY instead. The dialogs' Courier New is drawn as Liberation Mono, of
# the same metrics, as on a Linux desktop; without it wine falls back to a
# proportional font. A prefix made before these settings gets them once.
talvek_wine_prefix() {
  local graphics=${TALVEK_WINE_GRAPHICS:-null}
  local marker=$WINEPREFIX/.talvek-graphics-$graphics-courier
  [ -f "$WINEPREFIX/.talvek-ready" ] && [ -f "$marker" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")" "$HOME"
  (
    flock 9
    [ -f "$WINEPREFIX/.talvek-ready" ] && [ -f "$marker" ] && exit 0
    if [ ! -f "$WINEPREFIX/.talvek-ready" ] &&
       ! "$talvek_wine" wineboot -i </dev/null >"$WINEPREFIX.init.log" 2>&1; then
      echo "wineboot failed: see $WINEPREFIX.init.log" >&2
      exit 1
    fi
    if ! "$talvek_wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f \
         </dev/null >>"$WINEPREFIX.init.log" 2>&1 ||
       ! "$talvek_wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' \
         /d 'Liberation Mono' /f </dev/null >>"$WINEPREFIX.init.log" 2>&1; then
      echo "setting up the wine prefix failed: see $WINEPREFIX.init.log" >&2
      exit 1
    fi
    "$talvek_wineserver" -w
    rm -f "$WINEPREFIX"/.talvek-graphics-*
    touch "$marker" "$WINEPREFIX/.talvek-ready"
  ) 9>"$WINEPREFIX.lock"
}
