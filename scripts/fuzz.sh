#!/usr/bin/env bash
# Builds the libFuzzer target over the opening path with clang (build-fuzz/), seeds it with
# sound and damaged archives and runs it for a number of executions (default 1,000,000), at
# the lowest priority. Crashes, leaks and timeouts are kept in build-fuzz/findings/.
#   scripts/fuzz.sh [executions] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh fuzz
runs=${1:-1000000}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQN_FUZZ=ON >/dev/null
nice -n 19 cmake --build build-fuzz -j 2 --target quillnote_fuzz_open quillnote_fuzz_seeds
mkdir -p build-fuzz/corpus build-fuzz/seeds build-fuzz/findings
build-fuzz/quillnote_fuzz_seeds build-fuzz/seeds
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
start=$(date +%s)
status=0
nice -n 19 build-fuzz/quillnote_fuzz_open -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/findings/ "$@" build-fuzz/corpus build-fuzz/seeds \
    2>&1 | tee build-fuzz/fuzz.log | grep -E '^#[0-9]+ +(pulse|DONE)|^stat::|ERROR|SUMMARY|Test unit' || status=$?
echo "secondi=$(( $(date +%s) - start ))"
echo "ritrovamenti=$(find build-fuzz/findings -type f | wc -l)"
grep -E '^stat::number_of_executed_units' build-fuzz/fuzz.log || true
