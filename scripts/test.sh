#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test headless twice: in the sanitizer
# build (AddressSanitizer, UndefinedBehaviorSanitizer, warnings as errors) and in the optimised
# build that scripts/run.sh makes and users run. A test must pass in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0

run_build() { # folder, cmake options...
    local folder=$1
    shift
    # Explicit returns: set -e does not stop a function that runs under "||".
    cmake -S . -B "$folder" -G Ninja "$@" || return 1
    cmake --build "$folder" -j "$jobs" || return 1
    ctest --test-dir "$folder" --output-on-failure -j "$jobs" || return 1
}

status=0
echo "== Build con sanitizer (build-test/)"
run_build build-test -DCMAKE_BUILD_TYPE=Debug -DQN_SANITIZE=ON -DQN_WERROR=ON || status=1
echo "== Build ottimizzata (build-release/)"
run_build build-release -DCMAKE_BUILD_TYPE=Release -DQN_WERROR=ON || status=1
exit $status
