#!/usr/bin/env bash
# Makes the Windows installer and portable archive from the Windows build
# (scripts/build-windows.sh) in $TALVEK_WINDOWS_PACKAGE_DIR (default:
# build-windows-package/), and checks them under wine
# (tests/windows/check_installer.sh):
#   Talvek-VERSION-setup.exe      installs for the user who runs it, no
#                                 administrator needed; /S installs silently
#   Talvek-VERSION-portable.zip   the same programs and manual in a folder
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_WINDOWS_BUILD_DIR:-$top/build-windows}
out=${TALVEK_WINDOWS_PACKAGE_DIR:-$top/build-windows-package}
export TALVEK_WINDOWS_BUILD_DIR=$build
"$top/scripts/build-windows.sh"

version=$(sed -n 's/^project(Talvek VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
bin=$build/bin
for file in talvek.exe talvek-cli.exe Manual.html; do
  [ -f "$bin/$file" ] || { echo "package-windows: $bin/$file is missing" >&2; exit 1; }
done
mkdir -p "$out"
setup=$out/Talvek-$version-setup.exe
portable=$out/Talvek-$version-portable.zip

makensis -V2 -NOCD -DVERSION="$version" -DBIN="$bin" -DOUT="$setup" \
  -DICON="$top/resources/icons/talvek.ico" "$top/packaging/windows/talvek.nsi"

stage=$(mktemp -d "${TMPDIR:-/tmp}/talvek-portable.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Talvek-$version"
cp "$bin/talvek.exe" "$bin/talvek-cli.exe" "$bin/Manual.html" "$stage/Talvek-$version/"
rm -f "$portable"
(cd "$stage" && zip -qrX "$portable" "Talvek-$version")

"$top/tests/windows/check_installer.sh" "$setup" "$portable"
echo "package: $setup"
echo "package: $portable"
