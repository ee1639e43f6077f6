#!/usr/bin/env bash
# Times the whole transform job on one file against cp of the same file,
# alternating, and prints the ratio of the median times. The job syncs its
# result and the zeroed working copy to the device, which cp does not; "cp+sync"
# (cp, then an fsync of the copy) is printed as a second yardstick. Files stay
# in the page cache between rounds (the source is read from memory).
#   bench/job/job_vs_cp.sh [SIZE_MIB] [ROUNDS]
# Needs a built job_bench (scripts/build.sh); uses $TMPDIR or /tmp.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
bench="$build/bin/job_bench"
size_mib=${1:-1024}
rounds=${2:-3}
[ -x "$bench" ] || { echo "build job_bench first: scripts/build.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The job's working copy goes to the temporary directory: keep it on the same
# file system as the files, as it is on an ordinary run.
export TMPDIR="$work"

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/source"
sync

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", b - a }'; }
job_times=()
cp_times=()
cps_times=()
for round in $(seq 1 "$rounds"); do
  rm -f "$work/copy" "$work/encoded"
  sync
  t0=$(now); cp "$work/source" "$work/copy"; t1=$(now)
  cp_times+=("$(elapsed "$t0" "$t1")")
  rm -f "$work/copy"
  sync
  t0=$(now); cp "$work/source" "$work/copy"; sync "$work/copy"; t1=$(now)
  cps_times+=("$(elapsed "$t0" "$t1")")
  sync
  t0=$(now); "$bench" "$work/source" "$work/encoded" "bench password" encode; t1=$(now)
  job_times+=("$(elapsed "$t0" "$t1")")
  printf 'round %d: cp %.3f s, cp+sync %.3f s, job %.3f s\n' "$round" "${cp_times[-1]}" \
    "${cps_times[-1]}" "${job_times[-1]}"
done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
cp_median=$(median "${cp_times[@]}")
cps_median=$(median "${cps_times[@]}")
job_median=$(median "${job_times[@]}")
printf 'file %d MiB, %d rounds, medians: cp %.3f s, cp+sync %.3f s, job %.3f s\n' \
  "$size_mib" "$rounds" "$cp_median" "$cps_median" "$job_median"
printf 'job/cp %s, job/(cp+sync) %s\n' "$(ratio "$job_median" "$cp_median")" \
  "$(ratio "$job_median" "$cps_median")"
