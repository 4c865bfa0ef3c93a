#!/usr/bin/env bash
# Installs what is missing, builds the program optimised and starts it on its default archive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j "$(nproc)"
exec build-release/quillnote "$@"
