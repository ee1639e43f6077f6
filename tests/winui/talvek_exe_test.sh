#!/usr/bin/env bash
# talvek.exe as a user runs it: in a wine of its own on a virtual X screen,
# driven by xdotool's keys. It starts with a file, gets both passwords typed
# and F8, and must write what talvek-cli.exe writes for the same file and
# password; then a password that differs gets its warning box, and the
# key-file option chosen before Esc is what the registry keeps.
#   talvek_exe_test.sh TALVEK.EXE TALVEK-CLI.EXE WINDOW_TEXTS.EXE
# Exit status 77 (skipped) without Xvfb or xdotool.
set -euo pipefail
program=$1
cli=$2
texts=$3
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$(dirname "$program")/.." && pwd)
. "$top/scripts/wine-env.sh"
# Its own prefix and server: the other tests' prefix has no display.
export WINEPREFIX=$build/wine-prefix-window
talvek_wine_env "$build"
work=$(mktemp -d)
xvfb=""
cleanup() {
  "$talvek_wineserver" -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }
# Waits up to 30 s for a condition, a command line.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 300); do
    "$@" && return 0
    sleep 0.1
  done
  fail "$what"
}
window_named() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
dialog_enabled() { "$talvek_wine" "$texts" --enabled 'Talvek v1.0.60' >/dev/null 2>&1; }

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wait_for "Xvfb did not start" test -s "$work/display"
export DISPLAY=:$(head -n1 "$work/display")
TALVEK_WINE_GRAPHICS=x11 talvek_wine_prefix

windows_path() { "$talvek_wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
head -c 200000 /dev/urandom >"$work/in.bin"
printf 'pw-e2e\n' >"$work/password"
source_file=$(windows_path "$work/in.bin")
# A start with the option as a first start finds it.
"$talvek_wine" reg delete 'HKCU\Software\Brellam' /f >/dev/null 2>&1 || true

"$talvek_wine" "$program" "$source_file" >"$work/talvek.log" 2>&1 &
talvek=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Talvek v1\.0\.60$' | head -n1) ||
  fail "the main dialog did not show"
timeout 30 xdotool windowfocus --sync "$main" || fail "the main dialog did not take the focus"

# The focus starts in Source; four tab stops on is Password #1.
xdotool key --delay 50 Tab Tab Tab Tab
xdotool type --delay 30 'pw-e2e'
xdotool key Tab
xdotool type --delay 30 'pw-e2e'
xdotool key F8
wait_for "Encode wrote no $work/in.bin.tc" test -f "$work/in.bin.tc"
# The file is in place before the job has ended; keys before its end would
# be dropped.
wait_for "the dialog stayed disabled after the job" dialog_enabled
"$talvek_wine" "$cli" encode "$source_file" "$(windows_path "$work")\\cli.tc" \
  --password-file "$(windows_path "$work/password")" --quiet </dev/null
cmp "$work/in.bin.tc" "$work/cli.tc" || fail "talvek.exe and talvek-cli.exe encoded differently"

# Password #2 keeps the focus after the job; one letter more is a refusal.
xdotool key x F8
wait_for "no warning for passwords that differ" window_named '^Warning$'
said=$("$talvek_wine" "$texts" Warning 2>/dev/null | tr -d '\r')
grep -qF '<Password #1> and <Password #2> are not acceptable!' <<<"$said" ||
  fail "the warning said: $said"
xdotool key Return
wait_for "the warning did not close" bash -c "! xdotool search --onlyvisible --name '^Warning\$' >/dev/null 2>&1"

# The key-file option by its mnemonic, then Esc: closed, the option kept.
xdotool key alt+k Escape
wait_for "talvek.exe did not end after Esc" bash -c "! kill -0 $talvek 2>/dev/null"
stored=$("$talvek_wine" reg query 'HKCU\Software\Brellam\Talvek' /v optType 2>/dev/null | tr -d '\r')
grep -q 'REG_DWORD *0x3f2' <<<"$stored" || fail "stored option: $stored"
echo "talvek.exe: encoded as talvek-cli.exe does, warned, kept the key-file option"
