#!/usr/bin/env bash
# Sets up a machine, builds the default (Release) configuration and runs every test.
# With a preset name (asan, tsan, debug) builds and tests that configuration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash tools/setup.sh
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
