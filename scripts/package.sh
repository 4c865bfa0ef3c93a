#!/usr/bin/env bash
# Installs what is missing, builds the program optimised in build-package/ the way it is installed
# (default archive in the user's data folder, Debian's hardening flags) and makes
# build-package/quillnote_<version>_<arch>.deb with CPack. The package is then checked: the
# desktop entry and the AppStream file are validated and lintian must report no error; any
# failure fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --packaging
folder=build-package

# Debian's hardening flags, all of them (immediate binding too). CPPFLAGS carries _FORTIFY_SOURCE,
# which CMake takes only through the compiler flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The install step does not build everything: only the packaged targets are built, not the tests.
cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DQN_ARCHIVE_IN_DATA_FOLDER=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
cmake --build "$folder" -j "$(nproc)" --target quillnote_installed
rm -f "$folder"/quillnote_*.deb
(cd "$folder" && cpack -G DEB)
debs=("$folder"/quillnote_*.deb)
deb=${debs[0]}

echo "== Controlli su $deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# desktop-file-validate fails only on errors; its warnings and hints fail the package too.
report=$(desktop-file-validate "$unpacked"/usr/share/applications/org.example.quillnote.desktop 2>&1) &&
    [ -z "$report" ] || { echo "$report"; exit 1; }
appstreamcli validate --no-net --strict "$unpacked"/usr/share/metainfo/org.example.quillnote.metainfo.xml
# Errors fail the script; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"
dpkg-deb --field "$deb" Depends
echo "Pacchetto pronto: $deb"
