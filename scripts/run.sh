#!/usr/bin/env bash
# Installs what is missing, builds the program (and the helper it starts to convert old
# archives) optimised and starts it on its default archive
# (build-release/Quillnote.mdb) or on the .mdb file named after the command.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j "$(nproc)" --target quillnote quillnote-import
exec build-release/quillnote "$@"
