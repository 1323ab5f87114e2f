#!/usr/bin/env bash
# Sets up a machine, builds the default (Release) configuration and runs every test.
# With a preset name (asan, tsan, debug) builds and tests that configuration instead.
# Ends with the time each phase took.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
source tools/phases.sh
source tools/one-more-try.sh
trap 'phase_report "run-tests $preset"' EXIT

phase install
bash tools/setup.sh test
phase build
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
# Under ThreadSanitizer: libjack and Qt are not built with it; their own synchronisation is invisible.
export TSAN_OPTIONS="${TSAN_OPTIONS:-suppressions=$PWD/tests/support/tsan.supp}"

phase "unit tests"
# Everything but the real-MIDI and real-kernel tests passes on its first try, side by side.
ctest --preset "$preset" -j "$(nproc)" -LE 'jack|kernel'

phase "real-MIDI tests"
# The real-MIDI tests (label "jack") run on JACK servers that share the machine with the build and the
# sanitizers: a test that misses a time-out once runs once more before it counts as failed, and the
# run says which needed it. Two for each core side by side (kaldo-flash's cases each on a server of
# their own, the others one at a time on the tests' server): they mostly wait on the amp's pauses.
# Where something else keeps the processors busy, KALDO_REAL_MIDI_JOBS sets fewer: CI, whose next
# build runs beside, has one for each core (four on two cores, beside a build, stalled a server for
# the two seconds a send may wait, now and then).
ctest_one_more_try run-tests "real-MIDI tests" "$preset" -j "${KALDO_REAL_MIDI_JOBS:-$((2 * $(nproc)))}" -L jack

# The real-kernel tests (label "kernel": a Linux kernel booted in QEMU) take minutes of their own and
# QEMU besides: they run here only where QEMU is installed already. tools/run-kernel-tests.sh installs
# it and runs them anywhere.
if [ -n "${KALDO_SKIP_KERNEL_TESTS:-}" ]; then
    echo "run-tests: the real-kernel tests are left to the caller (KALDO_SKIP_KERNEL_TESTS is set)"
elif ! command -v qemu-system-x86_64 >/dev/null; then
    echo "run-tests: the real-kernel tests are SKIPPED: QEMU (qemu-system-x86_64) is not installed." \
         "bash tools/run-kernel-tests.sh installs it and runs them."
else
    phase "real-kernel tests"
    bash tools/run-kernel-tests.sh "$preset"
fi
