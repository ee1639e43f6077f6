#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into their own build folder
# ($TALVEK_FUZZ_BUILD_DIR, default build-fuzz/) and runs each for SECONDS
# (default 20), as many at once as there are processors. Exits non-zero when
# any target reports a crash, a sanitizer error or a mismatch; the input that
# caused it is kept in the build folder's artifacts/ and its log printed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TALVEK_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${1:-20}

"$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALVEK_FUZZ=ON -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_UI=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzz_targets

mkdir -p "$build/artifacts" "$build/logs"
# Scratch files of the targets, on a memory file system where there is one;
# a target that crashes leaves its files behind, so they go with the run.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/talvek-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
targets=()
for source in "$top"/fuzz/*_fuzzer.cpp; do
  name=$(basename "$source" _fuzzer.cpp)
  targets+=("$name")
done

# One target: new inputs go to the build folder's corpus, the committed seeds
# are only read.
run_target() {
  local name=$1
  mkdir -p "$build/corpus/$name"
  "$build/bin/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" "$build/corpus/$name" "$top/fuzz/corpus/$name" \
    >"$build/logs/$name.log" 2>&1
}

failed=()
pids=()
names=()
wait_for_one() {
  local pid=${pids[0]} name=${names[0]}
  pids=("${pids[@]:1}")
  names=("${names[@]:1}")
  if wait "$pid"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/logs/$name.log")
    echo "fuzz $name: ${runs:-?} runs in ${seconds}s, no finding"
  else
    echo "fuzz $name: FAILED, log $build/logs/$name.log"
    tail -n 40 "$build/logs/$name.log"
    failed+=("$name")
  fi
}
for name in "${targets[@]}"; do
  [ ${#pids[@]} -ge "$(nproc)" ] && wait_for_one
  run_target "$name" &
  pids+=($!)
  names+=("$name")
done
while [ ${#pids[@]} -gt 0 ]; do wait_for_one; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
