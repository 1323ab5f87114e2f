#!/usr/bin/env bash
# The Windows build, proved without Windows: cross-builds kaldo-flash, kaldo-make-firmware and the
# Qt-free test programs with MinGW-w64 (preset mingw), runs the tests under Wine (headless, a Wine
# prefix of its own in a temporary folder, removed at the end), runs kaldo-flash.exe on the sample
# firmware, and writes the Windows zip of the command-line tools (tools/make-windows-zip.sh).
# There are no MIDI devices under Wine: the winmm backend is tested against its fake here.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh windows

wine=/usr/lib/wine/wine64
state="$(mktemp -d)"
export WINEPREFIX="$state/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$state"
}
trap cleanup EXIT

# Wine's first start builds the prefix; the tests' own starts are then quick.
start=$(date +%s)
"$wine" wineboot --init >/dev/null 2>&1
echo "windows: Wine prefix ready in $(($(date +%s) - start)) s"

cmake --preset mingw ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset mingw -j "$(nproc)"
ctest --preset mingw -j "$(nproc)"

bin=build/mingw/bin
# Paths past 260 characters open on Windows only in a program whose manifest says so.
for program in "$bin"/*.exe; do
    grep -q '<longPathAware xmlns="[^"]*">true</longPathAware>' "$program" ||
        { echo "windows: $program lacks its long-path manifest" >&2; exit 1; }
done
"$wine" "$bin/kaldo-flash.exe" --version
"$wine" "$bin/kaldo-flash.exe" info build/mingw/share/sample-02.83.syx

bash tools/make-windows-zip.sh build/mingw "$state/zip"
zip="$(ls "$state"/zip/*.zip)"
mkdir "$state/unzipped"
(cd "$state/unzipped" && cmake -E tar xf "$zip")
"$wine" "$state/unzipped/$(basename "$zip" .zip)/kaldo-flash.exe" --version >/dev/null
echo "windows: $(basename "$zip") holds $(cd "$state/unzipped" && find . -type f | sort | tr '\n' ' ')"
