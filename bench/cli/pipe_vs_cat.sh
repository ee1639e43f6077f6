#!/usr/bin/env bash
# Times talvek-cli as a filter (encode - -) against cat on the same data, in
# three setups, and prints the ratio of the median times of each, wall clock
# and processor time (user + system, of the whole pipeline; steadier than the
# wall clock on a busy machine):
#   file    standard input a file in the page cache, output to /dev/null
#   tofile  the same, output to a new file (cat copies file to file inside
#           the kernel with copy_file_range: one copy where a transform needs
#           two, through its own buffer)
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

. "$top/bench/stats.sh"

filter_talvek() { "$cli" encode - - --password-file "$work/pw"; }
filter_cat() { cat; }

run_setup() {  # setup program -> "wall cpu" in seconds
  local setup=$1 program=$2 TIMEFORMAT='%R %U %S'
  rm -f "$work/out"
  {
    time case $setup in
      file) "filter_$program" <"$work/data" >/dev/null ;;
      tofile) "filter_$program" <"$work/data" >"$work/out" ;;
      pipe) cat "$work/data" | "filter_$program" | cat >/dev/null ;;
    esac
  } 2>&1 | awk '{ printf "%s %.3f\n", $1, $2 + $3 }'
}

for setup in file tofile pipe; do
  cat_wall=() cat_cpu=() talvek_wall=() talvek_cpu=()
  for _ in $(seq 1 "$rounds"); do
    read -r wall cpu < <(run_setup "$setup" cat)
    cat_wall+=("$wall") cat_cpu+=("$cpu")
    read -r wall cpu < <(run_setup "$setup" talvek)
    talvek_wall+=("$wall") talvek_cpu+=("$cpu")
  done
  cw=$(median "${cat_wall[@]}") cc=$(median "${cat_cpu[@]}")
  tw=$(median "${talvek_wall[@]}") tc=$(median "${talvek_cpu[@]}")
  printf '%-6s %d MiB, %d rounds, medians: wall cat %.3f s, talvek-cli %.3f s, ratio %s;' \
    "$setup" "$size_mib" "$rounds" "$cw" "$tw" "$(ratio "$tw" "$cw")"
  printf ' cpu cat %.3f s, talvek-cli %.3f s, ratio %s\n' "$cc" "$tc" "$(ratio "$tc" "$cc")"
done
