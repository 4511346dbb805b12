#!/usr/bin/env bash
# Without a tz database a zone name is refused with the reason, and numbers keep working. The
# program runs in a mount namespace of its own in which /usr/share/zoneinfo is an empty folder
# (needs root, as CI is).
# Usage: no_tzdata_test.sh BATCH EXAMPLE_OPT WORK_DIR
set -euo pipefail
batch=$1 example=$2 work=$3
rm -rf "$work" && mkdir -p "$work/empty"
sed '6s/^[^\r]*/Europe\/London/' "$example" >"$work/named.opt"
unshare -m bash -c '
    set -u
    mount --bind "$4" /usr/share/zoneinfo || { echo "FAIL: cannot hide /usr/share/zoneinfo"; exit 1; }
    failed=0
    if "$1" "$3" >/dev/null 2>"$5/err"; then echo "FAIL: a zone name was used without a tz database"; failed=1; fi
    grep -q "line 6, Time Zone: \"Europe/London\" cannot be used: the system has no time zone database" "$5/err" ||
        { echo "FAIL: the refusal does not say why:"; cat "$5/err"; failed=1; }
    "$1" "$2" | grep -q "^Jupiter 060 Saturn 12/24/2005 12:42:30" || { echo "FAIL: a number no longer works"; failed=1; }
    [ $failed -eq 0 ] && echo "2 passed, 0 failed"
    exit $failed
' _ "$batch" "$example" "$work/named.opt" "$work/empty" "$work"
