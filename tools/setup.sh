#!/usr/bin/env bash
# Installs the Debian packages this project builds, tests and runs with, when they are missing.
# Safe to run again; works as root or through sudo; never asks a question.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libjpeg-dev
    librtmidi-dev libasound2-dev libjack-jackd2-dev jackd2
    libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev jq
    clang libclang-rt-14-dev
    python3-rtmidi
    libsystemd-dev dbus python3-dbusmock
    g++-mingw-w64-x86-64-posix wine64 googletest
    xvfb xauth x11-apps imagemagick fonts-dejavu-core
    scdoc dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all ${#packages[@]} packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
