#!/usr/bin/env bash
# Builds the Debian package of Tavrolin (an optimised build with the window, without tests, in
# build-package/) and prints the package's path. Install it with: sudo apt install ./<that file>
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
build=build-package
# Debian's own compiler and linker flags, with all of its hardening, as its packages are built.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVROLIN_BUILD_WINDOW=ON -DTAVROLIN_BUILD_TESTS=OFF >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB -B "$PWD/deb") >&2
ls "$PWD/$build"/deb/tavrolin_*.deb
