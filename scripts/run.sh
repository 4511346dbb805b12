#!/usr/bin/env bash
# Builds Tavrolin (release build in build/) and starts the window program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTAVROLIN_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/bin/tavrolin "$@"
