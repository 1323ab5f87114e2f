#!/usr/bin/env bash
# The kernel rig's tests, anywhere: installs what they need (tools/setup.sh kernel: QEMU, busybox-static,
# cpio, kmod), builds the programs they run in the guest, prepares Debian's kernel once (into
# build/kernel; nothing is fetched again once it is there), and runs the ctest label "kernel", one
# case at a time, with no retry. No KVM needed: QEMU emulates the processor.
# With a preset name (default: default) the programs of that build run in the guest.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash tools/setup.sh kernel
cmake --preset "$preset" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target kaldo-flash kaldo-amp-sim kaldo-make-firmware \
    kaldo_write_intermediate HotPlugOnKernelTest
KALDO_KERNEL_TESTS=1 ctest --preset "$preset" -L kernel --output-on-failure
