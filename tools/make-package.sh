#!/usr/bin/env bash
# Builds a Release tree (build/package) and makes of it, with CPack, the Debian package
# build/kaldo-updater_VERSION_ARCH.deb and a .tar.gz of the same files for other distributions; then
# the Windows zip, cross-built (build/mingw): build/kaldo-updater-VERSION-windows-x86_64.zip with the
# desktop program when a Qt for MinGW is found (tools/qt-windows.sh), else the command-line tools alone
# as build/kaldo-flash-VERSION-windows-x86_64.zip.
# Prints the Debian package's path last. Compiled with Debian's hardening flags, as Debian's own
# packages are. Install with:  apt install ./build/kaldo-updater_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh package windows >&2
# Each build gets the flags meant for it and no others: Debian's hardening flags go to the Debian
# package's build alone, on its command line (so they hold on every configure, not only the first), and
# flags in the caller's environment reach neither build (CMake would take CXXFLAGS and LDFLAGS from there
# when it first configures a folder, and the MinGW linker knows no -z options).
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake --preset package ${KALDO_WERROR:+-DKALDO_WERROR=ON} \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >&2
cmake --build --preset package -j "$(nproc)" >&2
cpack --preset package >&2
# The Windows zip: only what goes into it is built, so tests and their GoogleTest stay out of it.
source tools/qt-windows.sh
qt="$(kaldo_qt_find)"
cmake --preset mingw -DKALDO_QT_MINGW="$qt" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >&2
cmake --build --preset mingw -j "$(nproc)" --target kaldo-flash kaldo-make-firmware kaldo_sample_firmware \
    ${qt:+kaldo-updater} >&2
bash tools/make-windows-zip.sh build/mingw build >&2
version="$(build/package/bin/kaldo-flash --version | cut -d' ' -f2)"
deb="build/kaldo-updater_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "make-package: $deb was not written" >&2; exit 1; }
echo "$deb"
