#!/usr/bin/env bash
# Checks a built talvek-cli_*.deb or talvek_*.deb: the files it must hold,
# what it depends on, lintian (no errors), and the window's AppStream
# metadata and desktop entry as installed.
set -euo pipefail
deb=${1:?usage: check_deb.sh PACKAGE.deb}

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
package=$(dpkg-deb -f "$deb" Package)
depends=$(dpkg-deb -f "$deb" Depends)
status=0
case $package in
  talvek-cli)
    required=(
      /usr/bin/talvek-cli
      /usr/share/man/man1/talvek-cli.1.gz
      /usr/share/bash-completion/completions/talvek-cli
    )
    # The command line alone, and nothing of Qt or a display among what
    # it pulls in.
    if grep -Eq 'qt|libx|libgl|libwayland' <<<"$depends"; then
      echo "check_deb: $package depends on a window system: $depends" >&2
      status=1
    fi
    grep -Eq '/usr/bin/talvek$|/usr/share/applications/' <<<"$listing" &&
      { echo "check_deb: $package holds the window's files" >&2; status=1; }
    ;;
  talvek)
    required=(
      /usr/bin/talvek
      /usr/share/talvek/Manual.html
      /usr/share/applications/com.brellam.Talvek.desktop
      /usr/share/metainfo/com.brellam.Talvek.metainfo.xml
      /usr/share/mime/packages/talvek.xml
      /usr/share/kio/servicemenus/com.brellam.Talvek.encode.desktop
      /usr/share/kio/servicemenus/com.brellam.Talvek.decode.desktop
      /usr/share/nemo/actions/talvek-encode.nemo_action
      /usr/share/nemo/actions/talvek-decode.nemo_action
      /usr/share/file-manager/actions/talvek-encode.desktop
      /usr/share/file-manager/actions/talvek-decode.desktop
      /usr/share/icons/hicolor/scalable/apps/talvek.svg
      /usr/share/icons/hicolor/scalable/mimetypes/application-x-talvek-encoded.svg
      /usr/share/icons/hicolor/scalable/mimetypes/application-x-morva-key.svg
      /usr/share/icons/hicolor/256x256/apps/talvek.png
      /usr/share/man/man1/talvek.1.gz
    )
    for size in 16 32 48; do
      required+=("/usr/share/icons/hicolor/${size}x$size/apps/talvek.png"
        "/usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-talvek-encoded.png"
        "/usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-morva-key.png")
    done
    grep -q 'libqt6widgets6' <<<"$depends" && grep -q 'qt6-qpa-plugins' <<<"$depends" ||
      { echo "check_deb: $package lacks Qt's libraries or plugins: $depends" >&2; status=1; }
    grep -q '/usr/bin/talvek-cli$' <<<"$listing" &&
      { echo "check_deb: $package holds talvek-cli, which has a package of its own" >&2; status=1; }
    ;;
  *) echo "check_deb: no such package of Talvek: $package" >&2; exit 1 ;;
esac
required+=(/usr/share/doc/$package/copyright /usr/share/doc/$package/changelog.gz)
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


unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if [ "$package" = talvek ]; then
  appstreamcli validate --no-net "$unpacked/usr/share/metainfo/com.brellam.Talvek.metainfo.xml" ||
    status=1
  desktop-file-validate "$unpacked/usr/share/applications/com.brellam.Talvek.desktop" || status=1
fi

echo "=== lintian $(basename "$deb")"
lintian --display-info --pedantic --fail-on error "$deb" || status=1
[ $status -eq 0 ] && echo "check_deb: $(basename "$deb") is complete"
exit $status
