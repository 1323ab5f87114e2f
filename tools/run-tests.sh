#!/usr/bin/env bash
# Sets up a machine, builds the default (Release) configuration and runs every test.
# With a preset name (asan, tsan, debug) builds and tests that configuration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash tools/setup.sh
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
# The real-MIDI tests run on a JACK server that shares the machine with the build and the sanitizers:
# a test that misses a time-out once is run again before it counts as failed.
ctest --preset "$preset" -j "$(nproc)" --repeat until-pass:2
