#!/usr/bin/env bash
# `cmake --install` of this build into a fresh prefix gives working programs and every file users
# look for (tools/check-install.sh).
set -uo pipefail
cmake="$1"
build="$2"
version="$3"
check="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
bash "$check" "$work/prefix" "$version"
