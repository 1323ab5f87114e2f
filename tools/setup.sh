#!/usr/bin/env bash
# Installs the Debian packages for what is about to run, when they are missing:
#   bash tools/setup.sh demo        build and run the programs: compiler, Qt, RtMidi, JACK
#   bash tools/setup.sh test        demo, plus what the tests use (GoogleTest, the logind stand-in, Xvfb...)
#   bash tools/setup.sh SET...      any of the sets below; each script asks only for the sets it uses
# Safe to run again; works as root or through sudo; never asks a question.
set -euo pipefail

declare -A sets=(
    # Building the programs and running them against the simulated amp on a JACK server, and the
    # fonts the desktop program's main window is designed in.
    [demo]="build-essential cmake pkg-config git
            qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libjpeg-dev
            librtmidi-dev libasound2-dev libjack-jackd2-dev jackd2
            libcli11-dev libsystemd-dev scdoc fonts-dejavu-core fonts-dejavu-extra"
    # The tests and benchmarks: GoogleTest, Google Benchmark, jq for the command-line tests, RtMidi's
    # Python binding for the independent amp, a stand-in logind on a private bus, Xvfb with the
    # tools for the window tests and screenshots, and what the installed tree is checked with
    # (tools/check-install.sh: the validators, file for the icons, man for the manual pages).
    [test]="libgtest-dev libgmock-dev libbenchmark-dev jq python3-rtmidi dbus python3-dbusmock
            xvfb xauth x11-apps imagemagick
            desktop-file-utils appstream file man-db"
    # The fuzz targets are built with clang (libFuzzer); the sanitizer presets use the usual compiler.
    [clang]="clang libclang-rt-14-dev"
    # The Windows build: MinGW-w64, GoogleTest's source for it, Wine to run what it makes with Wine's
    # own fonts (those of a Windows system), the fonts the Windows program carries, and xwininfo to see
    # its windows.
    [windows]="g++-mingw-w64-x86-64-posix googletest wine64 fonts-wine fonts-dejavu-extra x11-utils"
    # Qt for the Windows desktop program, built from Debian's source package (tools/build-qt-windows.sh)
    # with this machine's Qt as the host tools.
    [qt-windows]="g++-mingw-w64-x86-64-posix dpkg-dev ninja-build binutils"
    # The Debian package and its checks.
    [package]="dpkg-dev file lintian desktop-file-utils appstream man-db"
    # A real Linux kernel in QEMU for the ALSA tests.
    [kernel]="qemu-system-x86 busybox-static cpio kmod"
)

# What each set is used with: the fuzz, Windows and kernel runs are test runs too.
declare -A needs=([demo]="" [test]="demo" [clang]="demo test" [windows]="demo test" [qt-windows]="demo"
                  [package]="demo" [kernel]="demo test")

if [ $# -eq 0 ]; then set -- demo; fi
packages=()
for set in "$@"; do
    [ -n "${sets[$set]+x}" ] || { echo "setup: unknown set '$set' (sets: ${!sets[*]})" >&2; exit 2; }
    for s in ${needs[$set]} "$set"; do packages+=(${sets[$s]}); done
done
packages=($(printf '%s\n' "${packages[@]}" | sort -u))

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup ($*): all ${#packages[@]} packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "setup ($*): installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
