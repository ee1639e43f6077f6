#!/usr/bin/env bash
# The block transform's throughput in the Windows build under wine against
# the Linux build's, on each code path and key length of codec_bench: Linux
# through codec_bench (Google Benchmark), Windows through codec_throughput
# (no library), and codec_throughput built for Linux too, so that the two
# harnesses can be told apart from the two systems. Medians of REPETITIONS
# rounds of at least SECONDS each; ratios are Windows over Linux.
#   bench/codec/windows_vs_linux.sh [SECONDS] [REPETITIONS]   (default 0.5 5)
# Builds what it needs in build/ and build-windows/.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
linux=${TALVEK_BUILD_DIR:-$top/build}
windows=${TALVEK_WINDOWS_BUILD_DIR:-$top/build-windows}
seconds=${1:-0.5}
repetitions=${2:-5}

# Configured again, so that a tree from before codec_throughput knows it.
cmake -S "$top" -B "$linux" >/dev/null
cmake --build "$linux" --parallel "$(nproc)" --target codec_bench codec_throughput >/dev/null
TALVEK_WINDOWS_BUILD_DIR=$windows "$top/scripts/build-windows.sh" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/talvek-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Lines "path key MB/s", path as codePathName, memcpy as "memcpy -".
"$linux/bin/codec_bench" --benchmark_filter='^BM_Memcpy$|^BM_BlockTransform/' \
  --benchmark_min_time="$seconds" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, 'BEGIN { split("portable sse2 avx2", paths, " ") }
    { gsub(/"/, "") }
    $1 == "BM_Memcpy_median" { printf "memcpy - %.1f\n", $6 / 1e6 }
    $1 ~ /^BM_BlockTransform\/[0-9]+\/[0-9]+_median$/ {
      split($1, part, /[\/_]/)
      if ($6 != "") printf "%s %s %.1f\n", paths[part[3] + 1], part[4], $6 / 1e6
    }' >"$work/linux"
plain() { awk '$NF == "MB/s" { print ($1 == "memcpy" ? "memcpy -" : $2 " " $3), $4 }'; }
"$linux/bin/codec_throughput" "$seconds" "$repetitions" | plain >"$work/linux-plain"
"$top/scripts/wine-run.sh" "$windows/bin/codec_throughput.exe" "$seconds" "$repetitions" |
  tr -d '\r' | plain >"$work/windows"

printf '%-9s %8s %14s %14s %14s %8s %8s\n' path key "linux MB/s" "linux plain" "windows MB/s" ratio "(plain)"
while read -r path key rate; do
  plain=$(awk -v p="$path" -v k="$key" '$1 == p && $2 == k { print $3 }' "$work/linux-plain")
  win=$(awk -v p="$path" -v k="$key" '$1 == p && $2 == k { print $3 }' "$work/windows")
  awk -v p="$path" -v k="$key" -v l="$rate" -v lp="${plain:-0}" -v w="${win:-0}" 'BEGIN {
    printf "%-9s %8s %14.1f %14.1f %14.1f %7.2fx %7.2fx\n", p, k, l, lp, w, w / l, (lp > 0 ? w / lp : 0) }'
done <"$work/linux"
