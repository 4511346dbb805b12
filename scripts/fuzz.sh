#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/, clang with AddressSanitizer and UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each over its seed corpus in tests/fuzz/corpus/<target>/.
#   scripts/fuzz.sh            a fixed number of runs per target with a fixed seed, as CI does
#   scripts/fuzz.sh SECONDS    that long per target with a random seed, for a longer search
# New inputs go to build-fuzz/found/<target>/, a failing one to build-fuzz/crash-*; a crash, a
# leak, a sanitizer report or an input that takes more than 10 s fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVROLIN_FUZZ=ON \
  -DTAVROLIN_BUILD_WINDOW=OFF -DTAVROLIN_BUILD_TESTS=OFF -DTAVROLIN_LIBREOFFICE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

# Runs that take about 20 s each on this 2-core machine.
declare -A runs=([settings_file_fuzz]=45000 [natal_data_file_fuzz]=70000 [ini_file_fuzz]=300000
                 [text_file_fuzz]=90000 [numbers_dates_fuzz]=2000000 [calculation_fuzz]=2500)
seconds="${1:-}"
failed=0
for target in "${!runs[@]}"; do
  found="$build/found/$target"
  mkdir -p "$found"
  if [ -n "$seconds" ]; then limit=(-max_total_time="$seconds"); else limit=(-seed=1 -runs="${runs[$target]}"); fi
  echo "== $target ${limit[*]}"
  if ! (cd "$build" && "bin/$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "found/$target" "../tests/fuzz/corpus/$target" 2>&1 | tail -n 25); then
    failed=$((failed + 1))
  fi
done
total=${#runs[@]}
echo "fuzz: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
