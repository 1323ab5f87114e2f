#!/usr/bin/env bash
# Sets up a machine, builds the default (Release) configuration and runs every test.
# With a preset name (asan, tsan, debug) builds and tests that configuration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash tools/setup.sh
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
# Under ThreadSanitizer: libjack and Qt are not built with it; their own synchronisation is invisible.
export TSAN_OPTIONS="${TSAN_OPTIONS:-suppressions=$PWD/tests/support/tsan.supp}"
# The real-MIDI tests run on a JACK server that shares the machine with the build and the sanitizers:
# a test that misses a time-out once is run again before it counts as failed.
ctest --preset "$preset" -j "$(nproc)" --repeat until-pass:2
