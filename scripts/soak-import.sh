#!/usr/bin/env bash
# Converts 1,000 (or --files N) damaged old Access archives through the window's runner and the
# helper, optimised, and prints the outcomes; non-zero exit when the caller waited past the time
# limit, a half-written file stayed behind, or a new archive did not open as a tips archive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j 2 --target quillnote_soak
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build-release/quillnote_soak "$@"
