#!/usr/bin/env bash
# Builds Tavrolin with its tests and runs them all. With TAVROLIN_SANITIZE=1 (as in CI) the tests run
# again in a build under AddressSanitizer and UndefinedBehaviorSanitizer; with TAVROLIN_FUZZ=1 the
# fuzz targets run briefly after them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs="$(nproc)"
run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

# The spreadsheet back end is required here, so that its tests against a real LibreOffice Calc run
# and are never left out for want of the SDK.
run_suite build-test -DCMAKE_BUILD_TYPE=Debug -DTAVROLIN_LIBREOFFICE=ON
# With TAVROLIN_RELEASE=1 (as in CI) they also run optimised, as the program is built for use: the
# optimiser has been seen to break code that works unoptimised.
if [ "${TAVROLIN_RELEASE:-0}" = "1" ]; then
  run_suite build-release-test -DCMAKE_BUILD_TYPE=Release -DTAVROLIN_LIBREOFFICE=ON
fi
if [ "${TAVROLIN_SANITIZE:-0}" = "1" ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVROLIN_SANITIZE=ON -DTAVROLIN_LIBREOFFICE=ON
fi
# With TAVROLIN_FUZZ=1 (as in CI) the fuzz targets run briefly too: a fixed number of runs each.
if [ "${TAVROLIN_FUZZ:-0}" = "1" ]; then
  scripts/fuzz.sh
fi
