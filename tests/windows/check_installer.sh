#!/usr/bin/env bash
# Checks the Windows installer and portable archive under wine, in a wine
# prefix of their own: what the archive holds; a silent install for the user
# (the files, the Start menu entry, the entry in the list of installed
# programs); then, with the file-type rows a start of the installed program
# writes and another program's ".mk", a silent uninstall that leaves no file,
# entry or row of this program and the other program's row as it was.
#   check_installer.sh SETUP.exe PORTABLE.zip
set -euo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
portable=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
status=0
fail() { echo "check_installer: $*" >&2; status=1; }

version=$(basename "$setup" | sed 's/^Talvek-\(.*\)-setup\.exe$/\1/')
listing=$(unzip -Z1 "$portable" | sort | tr '\n' ' ')
[ "$listing" = "Talvek-$version/ Talvek-$version/Manual.html Talvek-$version/talvek-cli.exe Talvek-$version/talvek.exe " ] ||
  fail "the portable archive holds: $listing"

. "$top/scripts/wine-env.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-installer.XXXXXX")
WINEPREFIX=$work/prefix talvek_wine_env "$work"
trap '"$talvek_wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
talvek_wine_prefix
wine() { "$talvek_wine" "$@" </dev/null 2>>"$work/wine.log"; }
add_row() { wine reg add "$1" /ve /d "$2" /f >/dev/null; }
# reg query's value of a key's default or named value, nothing when absent.
value() {
  local which=(/ve)
  [ $# -gt 1 ] && which=(/v "$2")
  wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *[^ ]* *REG_[A-Z_]* *//p' | head -1
}

local_app_data=$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')
programs=$(wine cmd /c echo %APPDATA% | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
install_dir="$local_app_data\\Programs\\Talvek"
unix() { "$talvek_wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvek'

wine "$setup" /S || fail "the silent install failed"
for file in talvek.exe talvek-cli.exe Manual.html Uninstall.exe; do
  [ -f "$(unix "$install_dir\\$file")" ] || fail "not installed: $file"
done
[ -f "$(unix "$programs\\Talvek.lnk")" ] || fail "no Start menu entry"
[ "$(value "$uninstall_key" DisplayName)" = Talvek ] || fail "no entry among installed programs"
[ "$(value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "the entry's version is wrong"
[ "$(value "$uninstall_key" Publisher)" = Brellam ] || fail "the entry's publisher is wrong"
[ "$(value "$uninstall_key" UninstallString)" = "\"$install_dir\\Uninstall.exe\"" ] ||
  fail "the entry's uninstaller is \"$(value "$uninstall_key" UninstallString)\""

# The rows a start of the installed program writes, and another program's
# key files.
classes='HKCU\Software\Classes'
add_row "$classes\\Talvek\\shell\\open\\command" "\"$install_dir\\talvek.exe\" \"%1\""
add_row "$classes\\.tc" Talvek
add_row "$classes\\Morva.Key" "Key File"
add_row "$classes\\Morva.Key\\DefaultIcon" "$install_dir\\talvek.exe,2"
add_row "$classes\\.mk" Other.Make
[ "$(value "$classes\\.tc")" = Talvek ] || fail "the file-type rows were not written for the test"

# _? runs the uninstaller in place, so that it has ended when wine returns.
wine "$(unix "$install_dir\\Uninstall.exe")" /S "_?=$install_dir" || fail "the silent uninstall failed"
for file in talvek.exe talvek-cli.exe Manual.html; do
  [ ! -e "$(unix "$install_dir\\$file")" ] || fail "left behind: $file"
done
[ ! -e "$(unix "$programs\\Talvek.lnk")" ] || fail "the Start menu entry is left"
[ -z "$(value "$uninstall_key" DisplayName)" ] || fail "the installed-programs entry is left"
for key in Talvek .tc Morva.Key; do
  wine reg query "$classes\\$key" >/dev/null 2>&1 && fail "the row $key is left"
done
[ "$(value "$classes\\.mk")" = Other.Make ] || fail "another program's .mk was removed"

[ $status -eq 0 ] && echo "check_installer: $(basename "$setup") installs and uninstalls for the user"
exit $status
