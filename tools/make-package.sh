#!/usr/bin/env bash
# Builds a Release tree (build/package) and makes of it, with CPack, the Debian package
# build/kaldo-updater_VERSION_ARCH.deb and a .tar.gz of the same files for other distributions.
# Prints the Debian package's path last. Compiled with Debian's hardening flags, as Debian's own
# packages are. Install with:  apt install ./build/kaldo-updater_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh >&2
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake takes CXXFLAGS and LDFLAGS from the environment, but not CPPFLAGS.
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake --preset package ${KALDO_WERROR:+-DKALDO_WERROR=ON} >&2
cmake --build --preset package -j "$(nproc)" >&2
cpack --preset package >&2
version="$(build/package/bin/kaldo-flash --version | cut -d' ' -f2)"
deb="build/kaldo-updater_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "make-package: $deb was not written" >&2; exit 1; }
echo "$deb"
