#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Quillnote (--packaging: and to
# package it).
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-translations-l10n
    libgl1-mesa-dev libsqlite3-dev sqlite3 fonts-liberation2 ccache
    xvfb openbox x11-utils
    mdbtools-dev mdbtools
    libcups2-dev cups printer-driver-cups-pdf poppler-utils
)
# scripts/package.sh and scripts/install-test.sh also need the packaging tools and the checks.
if [ "${1:-}" = --packaging ]; then
    packages+=(dpkg-dev file lintian desktop-file-utils appstream debootstrap)
fi
# scripts/fuzz.sh also needs clang and its libFuzzer runtime.
[ "${1:-}" = fuzz ] && packages+=(clang libclang-rt-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installo i pacchetti mancanti: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
