#!/usr/bin/env bash
# Kills a compacting child many more times than CTest does (default 2000; a number may follow)
# and checks after each kill that the archive opens with every tip. Optimised build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j 2 --target maintenance_tst_compactkill
QN_COMPACT_KILLS=${1:-2000} build-release/maintenance_tst_compactkill
