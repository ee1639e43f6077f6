#!/usr/bin/env bash
# Times talvek-cli as a filter (encode - -) against cat on the same data, in
# three setups, and prints the ratio of the median times of each:
#   file    standard input a file in the page cache, output to /dev/null
#   tofile  the same, output to a new file
#   pipe    cat's output piped in and piped on to cat (both sides pipes)
# Rounds alternate between the two programs.
#   bench/cli/pipe_vs_cat.sh [SIZE_MIB] [ROUNDS]
# Needs a built talvek-cli (scripts/build.sh); uses $TMPDIR or /tmp.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${TALVEK_BUILD_DIR:-$top/build}
cli="$build/bin/talvek-cli"
size_mib=${1:-1024}
rounds=${2:-5}
[ -x "$cli" ] || { echo "build talvek-cli first: scripts/build.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/data"
printf 'bench password\n' >"$work/pw"
cat "$work/data" >/dev/null  # into the page cache

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

filter_talvek() { "$cli" encode - - --password-file "$work/pw"; }
filter_cat() { cat; }

run_setup() {  # setup program -> seconds
  local setup=$1 program=$2 t0 t1
  rm -f "$work/out"
  t0=$(now)
  case $setup in
    file) "filter_$program" <"$work/data" >/dev/null ;;
    tofile) "filter_$program" <"$work/data" >"$work/out" ;;
    pipe) cat "$work/data" | "filter_$program" | cat >/dev/null ;;
  esac
  t1=$(now)
  elapsed "$t0" "$t1"
}

for setup in file tofile pipe; do
  cat_times=()
  talvek_times=()
  for _ in $(seq 1 "$rounds"); do
    cat_times+=("$(run_setup "$setup" cat)")
    talvek_times+=("$(run_setup "$setup" talvek)")
  done
  cat_median=$(median "${cat_times[@]}")
  talvek_median=$(median "${talvek_times[@]}")
  printf '%-6s %d MiB, %d rounds, medians: cat %.3f s, talvek-cli %.3f s, ratio %s\n' \
    "$setup" "$size_mib" "$rounds" "$cat_median" "$talvek_median" \
    "$(ratio "$talvek_median" "$cat_median")"
done
