#!/usr/bin/env bash
# Makes the Debian package talvek_VERSION_ARCH.deb in $TALVEK_PACKAGE_DIR
# (default: build-package/) and checks it (tests/package/check_deb.sh).
#   scripts/package.sh                    a fresh Release build with Debian's
#                                         hardening flags, removed afterwards
#   scripts/package.sh --build-dir DIR    the tree already built in DIR, as CI
#                                         does with the tree it has just tested
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${TALVEK_PACKAGE_DIR:-$top/build-package}
build=""
case "${1:-}" in
  "") ;;
  --build-dir) build=$(cd "${2:?--build-dir needs a directory}" && pwd) ;;
  *) echo "usage: scripts/package.sh [--build-dir DIR]" >&2; exit 2 ;;
esac

"$top/scripts/setup.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ -z "$build" ]; then
  build=$work/build
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVEK_BUILD_TESTS=OFF \
    -DTALVEK_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" --parallel "$(nproc)"
fi

(cd "$build" && cpack -G DEB -B "$work/cpack" >/dev/null)
mkdir -p "$out"
for deb in "$work"/cpack/*.deb; do
  mv -f "$deb" "$out/"
  "$top/tests/package/check_deb.sh" "$out/$(basename "$deb")"
  echo "package: $out/$(basename "$deb")"
done
