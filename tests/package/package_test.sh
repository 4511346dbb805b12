#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from this build, unpacked into a folder
# of its own and run from there with a home folder of its own; its files checked by Debian's and
# the desktop's validators. Leaves the unpacked root in WORK/root for the window's tests.
# Usage: package_test.sh BUILD_DIR WORK_DIR SOURCE_DIR
set -euo pipefail
build=$1 work=$2 source=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

rm -rf "$work"
mkdir -p "$work/home"
if ! (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
deb=$(ls "$work"/cpack/tavrolin_*.deb)
root="$work/root"
dpkg-deb -x "$deb" "$root"
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb -f "$deb"

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
check "package name" test "$(field Package)" = tavrolin
check "version $version" test "$(field Version)" = "$version"
check "section" test "$(field Section)" = science
check "Depends names swe-basic-data and the libraries" \
    grep -Eq '(^|, )swe-basic-data(,|$).*libswe|libswe.*(^|, )swe-basic-data(,|$)' <<<"$(field Depends)"
check "Recommends" test "$(field Recommends)" = libreoffice-calc
check "long description" test "$(field Description | wc -l)" -gt 3

# The unpacked programs, with the user's folders in a home of the test's own and the working
# folder without ephemeris files, so that nothing can come from the build.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
cd "$work"
batch="$root/usr/bin/tavrolin-batch"
example="$root/usr/share/tavrolin/examples/default.opt"
check "the example is the source's" cmp -s "$example" "$source/examples/default.opt"
check "listing of the unpacked program" "$batch" "$example" >unpacked.txt
"$build/bin/tavrolin-batch" "$source/examples/default.opt" >built.txt
check "listing not empty" test -s unpacked.txt
check "same listing as the build's program" cmp unpacked.txt built.txt
# The natal report holds Eris and Sedna, which only the package's share/tavrolin/ephe can give.
check "report of the unpacked program" "$batch" --report longitude "$example" >unpacked-report.txt
"$build/bin/tavrolin-batch" --report longitude "$source/examples/default.opt" >built-report.txt
check "same report as the build's program" cmp unpacked-report.txt built-report.txt
check "report names Eris and Sedna" grep -q Sedna unpacked-report.txt
mv "$root/usr/share/tavrolin/ephe" "$work/ephe-away"
if "$batch" --report longitude "$example" >/dev/null 2>without-ephe.txt; then
    fail "the report succeeded without share/tavrolin/ephe"
fi
check "without share/tavrolin/ephe Eris is not computed" grep -q Eris without-ephe.txt
mv "$work/ephe-away" "$root/usr/share/tavrolin/ephe"
# The spreadsheet back end comes from the package's own folder: with nothing on the pipe the
# program gets as far as asking LibreOffice, and without the module it says that it cannot load it.
if [ -e "$build/bin/tavrolin-calc.so" ]; then
    module=$(find "$root/usr/lib" -name tavrolin-calc.so)
    check "the back end module is installed" test -n "$module"
    pipe="tavrolin_package_test_$$"
    if "$batch" --to-spreadsheet --pipe "$pipe" "$example" >/dev/null 2>calc.txt; then fail "a copy without a spreadsheet succeeded"; fi
    check "the module asks for a spreadsheet" grep -q "Please open an Excel spreadsheet before performing this operation." calc.txt
    mv "$module" "$work/module-away"
    "$batch" --to-spreadsheet --pipe "$pipe" "$example" >/dev/null 2>calc.txt || true
    check "without the module the program says so" grep -q "the spreadsheet back end could not be loaded" calc.txt
    mv "$work/module-away" "$module"
fi
check "the batch program writes no user file" test ! -e "$XDG_CONFIG_HOME" -a ! -e "$XDG_DATA_HOME"
check "tavrolin-batch --version" test "$("$batch" --version)" = "tavrolin-batch $version"
if [ -x "$root/usr/bin/tavrolin" ]; then
    check "tavrolin --version" test "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tavrolin" --version)" = "tavrolin $version"
fi

# The desktop's and Debian's validators.
for f in "$root"/usr/share/applications/*.desktop; do check "desktop-file-validate $f" desktop-file-validate "$f"; done
for f in "$root"/usr/share/metainfo/*.xml; do check "appstreamcli validate $f" appstreamcli validate --no-net "$f"; done
lintian --fail-on error --display-info "$deb" >lintian.txt 2>&1 || fail "lintian reports errors"
cat lintian.txt

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all package checks passed"
