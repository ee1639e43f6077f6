#!/usr/bin/env bash
# Times whole talvek-cli jobs against the floor for a durable copy, cp then
# `sync -d` of the copy, alternating the commands round by round, and prints
# medians and ratios. Jobs: encoding to a new file, encoding in place (the
# source is the destination), decoding, and encoding onto a file with a
# second name, which is written where it stands after its old bytes are
# kept in a journal; age (with the same sync) is timed too when it is
# installed, for reference. The source is in the page cache.
# Replacing a file also frees the old one's blocks, which cp onto a new name
# never pays (on a file system mounted with discard it is a large part of the
# cost), so "cp over" (cp onto an existing copy, then the sync) is timed as
# the floor of the in-place job and of the journalled one.
# Ends with the peak memory of one job on the largest file.
#   bench/job/job_vs_cp.sh [ROUNDS] [SIZE_MIB...]     (default: 5 256 1024)
# Needs a built talvek-cli (scripts/build.sh); works in $TMPDIR or /tmp, which
# should be on the disk the jobs are meant for.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
cli="$build/bin/talvek-cli"
rounds=${1:-5}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(256 1024)
[ -x "$cli" ] || { echo "build talvek-cli first: scripts/build.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The journal of a job written in place goes to the same disk as the files.
export XDG_STATE_HOME="$work/state"
printf 'bench password\n' >"$work/pw"
have_age=false
if command -v age >/dev/null && command -v age-keygen >/dev/null; then
  have_age=true
  age-keygen -o "$work/age.key" 2>/dev/null
  recipient=$(age-keygen -y "$work/age.key")
fi

now() { date +%s.%N; }
. "$top/bench/stats.sh"

# Runs one command between syncs and appends its time to the named array.
timed() {
  local -n into=$1
  shift
  sync
  local t0 t1
  t0=$(now)
  "$@"
  t1=$(now)
  into+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')")
}

cp_sync() { cp "$work/source" "$work/copy" && sync -d "$work/copy"; }
cp_over_sync() { cp "$work/source" "$work/over" && sync -d "$work/over"; }
encode_new() { "$cli" encode "$work/source" "$work/new.tc" --password-file "$work/pw" --yes; }
encode_in_place() { "$cli" encode "$work/inplace" "$work/inplace" --password-file "$work/pw" --yes; }
decode() { "$cli" decode "$work/new.tc" "$work/decoded" --password-file "$work/pw" --yes; }
encode_journalled() { "$cli" encode "$work/source" "$work/linked" --password-file "$work/pw" --yes; }
age_sync() { age -r "$recipient" -o "$work/age.out" "$work/source" && sync -d "$work/age.out"; }

for size_mib in "${sizes[@]}"; do
  head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/source"
  cp "$work/source" "$work/inplace"
  cp "$work/source" "$work/over"
  cp "$work/source" "$work/linked"
  ln -f "$work/linked" "$work/linked2"
  cat "$work/source" >/dev/null
  sync
  cps=() overs=() enc=() inp=() dec=() jour=() ages=()
  for round in $(seq 1 "$rounds"); do
    rm -f "$work/copy" "$work/new.tc" "$work/decoded" "$work/age.out"
    timed cps cp_sync
    timed overs cp_over_sync
    timed enc encode_new
    timed inp encode_in_place
    timed dec decode
    timed jour encode_journalled
    $have_age && timed ages age_sync
    printf '%5d MiB round %d: cp+sync %.3f  cp over+sync %.3f  encode %.3f  in place %.3f  decode %.3f  journalled %.3f%s\n' \
      "$size_mib" "$round" "${cps[-1]}" "${overs[-1]}" "${enc[-1]}" "${inp[-1]}" "${dec[-1]}" "${jour[-1]}" \
      "$($have_age && printf '  age+sync %.3f' "${ages[-1]}")"
  done
  cmp -s "$work/source" "$work/decoded" || { echo "decoded file differs from the source" >&2; exit 1; }
  c=$(median "${cps[@]}") o=$(median "${overs[@]}") e=$(median "${enc[@]}") i=$(median "${inp[@]}")
  d=$(median "${dec[@]}") j=$(median "${jour[@]}")
  printf '%5d MiB medians of %d: cp+sync %.3f s, cp over+sync %.3f s, encode %.3f s (%sx), in place %.3f s (%sx; %sx of cp over), decode %.3f s (%sx), journalled %.3f s (%sx of cp over)' \
    "$size_mib" "$rounds" "$c" "$o" "$e" "$(ratio "$e" "$c")" "$i" "$(ratio "$i" "$c")" \
    "$(ratio "$i" "$o")" "$d" "$(ratio "$d" "$c")" "$j" "$(ratio "$j" "$o")"
  if $have_age; then
    a=$(median "${ages[@]}")
    printf ', age+sync %.3f s (%sx)' "$a" "$(ratio "$a" "$c")"
  fi
  printf '\n'
done

if [ -x /usr/bin/time ]; then
  rm -f "$work/new.tc"
  peak=$(/usr/bin/time -f %M "$cli" encode "$work/source" "$work/new.tc" --password-file "$work/pw" --yes 2>&1 >/dev/null | tail -1)
  printf 'peak memory of one encode of %d MiB: %s KiB\n' "${sizes[-1]}" "$peak"
fi
