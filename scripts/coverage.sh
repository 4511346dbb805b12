#!/usr/bin/env bash
# Line coverage of the programs' sources by the whole test suite: builds with gcc's --coverage in
# build-coverage/, runs every test, and writes which lines ran to build-coverage/lines.json.
#   scripts/coverage.sh                 the totals per folder
#   scripts/coverage.sh OLD.json        also every line that OLD.json saw run and this run did not,
#                                       e.g. to check that reworking the tests lost no behaviour
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build-coverage
# Atomic counters: the scans run on several threads, and counts they lose can leave gcov reporting
# a line that ran as not run.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTAVROLIN_LIBREOFFICE=ON -DCMAKE_C_FLAGS="--coverage -fprofile-update=atomic" \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete
(cd "$build" && ctest -j"$(nproc)" --output-on-failure)
/usr/bin/python3 scripts/coverage_lines.py . "$build" "$build/lines.json" "$@"
