#!/usr/bin/env bash
# The Windows command-line tools as one zip: kaldo-flash.exe, kaldo-make-firmware.exe (both
# self-contained), the sample firmware and a short README. Usage: make-windows-zip.sh BUILD OUT
# (BUILD is a finished mingw build folder, OUT the folder the zip goes to).
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "$1")"
mkdir -p "$2"
out="$(realpath "$2")"
version="$(sed -n 's/^project(KaldoUpdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
name="kaldo-flash-$version-windows-x86_64"

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
mkdir "$staging/$name"
cp "$build/bin/kaldo-flash.exe" "$build/bin/kaldo-make-firmware.exe" "$build/share/sample-02.83.syx" "$staging/$name/"
# Windows line ends, for Notepad.
sed 's/$/\r/' >"$staging/$name/README.txt" <<TEXT
KALDO Updater $version: the command-line tools for Windows (64-bit)

kaldo-flash.exe          info, list, identify, send, upload: the updater's engine in a console
kaldo-make-firmware.exe  writes firmware files for tests, valid or broken on purpose
sample-02.83.syx         a sample firmware file (version 02.83, 20 packets)

Open a console in this folder and try:

    kaldo-flash info sample-02.83.syx
    kaldo-flash list
    kaldo-flash upload new.syx --out "AMP OUT" --in "AMP IN" --confirm

kaldo-flash --help and kaldo-flash upload --help list the options.

MIDI on Windows goes through the Windows multimedia MIDI services (winmm). That part is tested
against a stand-in that behaves as Windows documents it, and the tools run their tests under Wine,
without MIDI devices; it has not yet been tried on a real Windows MIDI port.
TEXT
(cd "$staging" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
echo "$out/$name.zip"
