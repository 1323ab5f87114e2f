#!/usr/bin/env bash
# Checks a Debian package as a user's machine meets it: lintian (no errors), Depends on Qt 6 Widgets,
# RtMidi and the main window's font, and its unpacked tree (tools/check-install.sh: files, validators,
# programs printing the package's version).
#   bash tools/check-package.sh build/kaldo-updater_VERSION_ARCH.deb
set -uo pipefail
deb="$1"
here="$(dirname "$0")"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

echo "== lintian $deb"
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "== Depends: $depends"
for lib in libqt6widgets6 librtmidi fonts-dejavu-core; do
    grep -q "$lib" <<<"$depends" || fail "Depends names no $lib"
done

echo "== the unpacked package"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work" || fail "dpkg-deb -x"
bash "$here/check-install.sh" "$work/usr" "$(dpkg-deb -f "$deb" Version)" || fail "the unpacked tree"

[ "$failures" -eq 0 ]
