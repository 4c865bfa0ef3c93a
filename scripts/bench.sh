#!/usr/bin/env bash
# Builds the optimised benchmark and runs it; extra arguments (e.g. --tips 10000) go to it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j "$(nproc)" --target quillnote_bench
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build-release/quillnote_bench "$@"
