#!/usr/bin/env bash
# Checks a built talvek_*.deb: the files it must hold, lintian (no errors),
# and the AppStream metadata and desktop entry as installed.
set -euo pipefail
deb=${1:?usage: check_deb.sh PACKAGE.deb}

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
required=(
  /usr/bin/talvek
  /usr/bin/talvek-cli
  /usr/share/talvek/Manual.html
  /usr/share/applications/com.brellam.Talvek.desktop
  /usr/share/metainfo/com.brellam.Talvek.metainfo.xml
  /usr/share/mime/packages/talvek.xml
  /usr/share/doc/talvek/copyright
  /usr/share/doc/talvek/changelog.gz
  /usr/share/icons/hicolor/scalable/apps/talvek.svg
  /usr/share/icons/hicolor/scalable/mimetypes/application-x-talvek-encoded.svg
  /usr/share/icons/hicolor/scalable/mimetypes/application-x-morva-key.svg
  /usr/share/icons/hicolor/256x256/apps/talvek.png
  /usr/share/man/man1/talvek.1.gz
  /usr/share/man/man1/talvek-cli.1.gz
  /usr/share/bash-completion/completions/talvek-cli
)
for size in 16 32 48; do
  required+=("/usr/share/icons/hicolor/${size}x$size/apps/talvek.png"
    "/usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-talvek-encoded.png"
    "/usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-morva-key.png")
done
status=0
for path in "${required[@]}"; do
  grep -qxF "$path" <<<"$listing" || { echo "check_deb: missing $path" >&2; status=1; }
done
# Everything lives under /usr; nothing of a build tree or /usr/local.
if grep -v '^/usr/' <<<"$listing" | grep -qv '^/$'; then
  echo "check_deb: files outside /usr:" >&2
  grep -v '^/usr/' <<<"$listing" | grep -v '^/$' >&2
  status=1
fi
if grep -q '^/usr/local/' <<<"$listing"; then
  echo "check_deb: files under /usr/local" >&2
  status=1
fi

dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' ||
  { echo "check_deb: Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)" >&2; status=1; }

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/com.brellam.Talvek.metainfo.xml" ||
  status=1
desktop-file-validate "$unpacked/usr/share/applications/com.brellam.Talvek.desktop" || status=1

echo "=== lintian $(basename "$deb")"
lintian --display-info --pedantic --fail-on error "$deb" || status=1
[ $status -eq 0 ] && echo "check_deb: $(basename "$deb") is complete"
exit $status
