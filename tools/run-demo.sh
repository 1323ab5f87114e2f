#!/usr/bin/env bash
# Sets up a machine, builds the default (Release) configuration and runs the main job: for now,
# kaldo-flash checks and describes the bundled sample firmware (a packet file, version 02.83).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset default ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset default --target kaldo-flash kaldo_sample_firmware -j "$(nproc)"
build/default/bin/kaldo-flash info build/default/share/sample-02.83.syx
