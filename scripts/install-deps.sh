#!/usr/bin/env bash
# Installs every Debian package that building, running, packaging and testing Tavrolin needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
  libswe-dev swe-basic-data
  googletest libgtest-dev libgmock-dev
  libreoffice-dev
  dpkg-dev file lintian desktop-file-utils appstream
  libical-dev python3-icalendar libhowardhinnant-date-dev tzdata
  poppler-utils
  libgeonames-dev libgeonames0
  clang libfuzzer-14-dev libclang-rt-14-dev
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
# "Copy to Excel" and its tests need a LibreOffice Calc. A desktop's Calc will do; without one, the
# one without a user interface is enough for building and testing (installing libreoffice-calc
# later replaces it).
if ! installed libreoffice-calc && ! installed libreoffice-calc-nogui; then
  missing+=(libreoffice-calc-nogui)
fi
if [ ${#missing[@]} -eq 0 ]; then
  echo "All build and test packages are installed."
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
