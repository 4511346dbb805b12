#!/bin/sh
# The sky events through a whole run of tavrolin-batch (search, retrograde periods, listing): every
# kind, every geocentric P1 body, no aspect, transit to transit; one year, then a hundred.
# Usage: bench/events_run.sh [BUILD_DIR]   (a Release build with tavrolin-batch; default build-bench)
set -eu
bin=${1:-build-bench}/bin/tavrolin-batch
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
python3 - "$here" "$(dirname "$0")/../examples/default.opt" <<'PY'
import sys
lines = open(sys.argv[2], newline='').read().split('\r\n')[:81]
for start, end, name in [("01/01/2024", "12/31/2024", "year"), ("01/01/1950", "12/31/2049", "century")]:
    l = list(lines)
    l[0], l[1], l[5] = start, end, "0"
    for i in range(6, 24): l[i] = "0" + l[i][1:]                          # no aspect
    for i in range(24, 47): l[i] = ("0" if i == 38 else "1") + l[i][1:]   # every P1 body but the Earth
    for i in range(47, 70): l[i] = "0" + l[i][1:]
    l[77], l[78] = "False - Transit to natal planets", "True - Transit to transit planets"
    open(f"{sys.argv[1]}/{name}.opt", "w", newline='').write('\r\n'.join(l) + '\r\n')
PY
for run in year century; do
    /usr/bin/time -f "$run: %e s wall, %U s user" "$bin" --events all "$here/$run.opt" > "$here/$run.out"
    echo "$run: $(grep -c . "$here/$run.out") lines listed"
done
