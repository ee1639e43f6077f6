#!/bin/sh
# The file managers' "Encode with Talvek" and "Decode with Talvek": each
# format's required keys, the verb texts, and what they match and run.
# Caja's own reader runs its actions (caja-actions-run, with a talvek that
# records its arguments); Dolphin and Nemo have no such tool, so their
# files are checked against the keys they read.
#   file_manager_actions_test.sh RESOURCES MIME_XML WORK_DIR
set -eu
resources=$1 mime_xml=$2 work=$3
status=0
fail() { echo "file_manager_actions: $*" >&2; status=1; }

# value FILE GROUP KEY: the key's value in that group.
value() {
  awk -v group="[$2]" -v key="$3" '
    /^\[/ { inside = ($0 == group); next }
    inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }' "$1"
}
expect() {  # FILE GROUP KEY VALUE
  got=$(value "$1" "$2" "$3")
  [ "$got" = "$4" ] || fail "$(basename "$1") [$2] $3 is \"$got\", not \"$4\""
}

for verb in encode decode; do
  case $verb in
    encode) name="Encode with Talvek" kde_mime="all/allfiles;" ;;
    decode) name="Decode with Talvek" kde_mime="application/x-talvek-encoded;" ;;
  esac
  kde=$resources/kio/com.brellam.Talvek.$verb.desktop
  expect "$kde" "Desktop Entry" Type Service
  expect "$kde" "Desktop Entry" MimeType "$kde_mime"
  expect "$kde" "Desktop Entry" Actions "$verb;"
  expect "$kde" "Desktop Action $verb" Name "$name"
  expect "$kde" "Desktop Action $verb" Exec "talvek %f"

  nemo=$resources/nemo/talvek-$verb.nemo_action
  expect "$nemo" "Nemo Action" Name "$name"
  expect "$nemo" "Nemo Action" Exec "talvek %U"
  expect "$nemo" "Nemo Action" Selection s
  [ -n "$(value "$nemo" "Nemo Action" Extensions)$(value "$nemo" "Nemo Action" Mimetypes)" ] ||
    fail "$(basename "$nemo") matches no file: neither Extensions nor Mimetypes"

  fma=$resources/file-manager/talvek-$verb.desktop
  expect "$fma" "Desktop Entry" Type Action
  expect "$fma" "Desktop Entry" Name "$name"
done
expect "$resources/nemo/talvek-encode.nemo_action" "Nemo Action" Extensions "nodirs;"
expect "$resources/nemo/talvek-decode.nemo_action" "Nemo Action" Mimetypes \
  "application/x-talvek-encoded;"

if ! command -v caja-actions-run >/dev/null; then
  echo "file_manager_actions: caja-actions-run is missing; Caja's actions not run" >&2
  exit $status
fi
rm -rf "$work"
mkdir -p "$work/data/file-manager/actions" "$work/data/mime/packages" "$work/bin" "$work/home" \
  "$work/files"
cp "$resources"/file-manager/*.desktop "$work/data/file-manager/actions/"
cp "$mime_xml" "$work/data/mime/packages/talvek.xml"
update-mime-database "$work/data/mime" >/dev/null 2>&1
# Each start of the recording talvek adds a line: how many arguments, and them.
printf '#!/bin/sh\nprintf "%%s %%s\\n" "$#" "$*" >> "%s/calls"\n' "$work" >"$work/bin/talvek"
chmod +x "$work/bin/talvek"
: >"$work/calls"
printf 'plain' >"$work/files/a b's report.doc"
printf 'coded' >"$work/files/a b's report.doc.tc"

# run ACTION FILE_URI [CALLS]: the action on that file; then, since its
# command starts on its own, waits until talvek has been started CALLS times.
run() {
  HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config \
    XDG_DATA_DIRS=$work/data:/usr/share PATH=$work/bin:$PATH \
    caja-actions-run -i "$1" -t "$2" >"$work/run.log" 2>&1 || fail "$1 on $2: $(cat "$work/run.log")"
  tries=0
  while [ -n "${3:-}" ] && [ "$(wc -l <"$work/calls")" -lt "$3" ] && [ $tries -lt 100 ]; do
    sleep 0.1; tries=$((tries + 1))
  done
}
plain=file://$(printf '%s' "$work" | sed 's/ /%20/g')/files/a%20b\'s%20report.doc
# Refused first: a start it should not make would come before the others'.
run talvek-decode "$plain"
run talvek-encode "$plain" 1
run talvek-encode "$plain.tc" 2
run talvek-decode "$plain.tc" 3
expected=$(printf '1 %s\n' "$plain" "$plain.tc" "$plain.tc")
[ "$(cat "$work/calls")" = "$expected" ] ||
  fail "talvek was started with: $(cat "$work/calls"), not: $expected"
[ $status -eq 0 ] && echo "file_manager_actions: all checked, Caja's run"
exit $status
