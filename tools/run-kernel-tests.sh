#!/usr/bin/env bash
# The kernel rig's tests, anywhere: installs what they need (tools/setup.sh kernel: QEMU, busybox-static,
# cpio, kmod), builds the programs they run in the guest, prepares Debian's kernel once (into
# build/kernel; nothing is fetched again once it is there), and runs the ctest label "kernel", one
# case at a time; one that failed gets one more try, and the run names it. No KVM needed: QEMU
# emulates the processor.
# With a preset name (default: default) the programs of that build run in the guest.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/one-more-try.sh
preset="${1:-default}"
bash tools/setup.sh kernel
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target kaldo-flash kaldo-amp-sim kaldo-make-firmware \
    kaldo_write_intermediate HotPlugOnKernelTest
# Real MIDI through a real kernel, as the real-MIDI tests over JACK: a case that failed runs once more
# before it counts as failed (a boot of its own), and the run says which needed it. Its transcripts
# stay above, in the log.
export KALDO_KERNEL_TESTS=1
ctest_one_more_try run-kernel-tests "real-kernel tests" "$preset" -L kernel --output-on-failure
