#!/usr/bin/env bash
# Installs what is missing, builds with sanitizers and warnings as errors, runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQN_SANITIZE=ON -DQN_WERROR=ON
cmake --build build-test -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0
ctest --test-dir build-test --output-on-failure -j "$(nproc)"
