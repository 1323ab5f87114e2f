#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each for a bounded time, from seeds made by
# kaldo-make-firmware. FUZZ_SECONDS sets the time per target (default 20). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
bash tools/setup.sh clang
cmake --preset fuzz ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset fuzz --target kaldo_fuzz_loader kaldo_fuzz_replies kaldo_fuzz_settings kaldo-make-firmware -j "$(nproc)"
bin=build/fuzz/bin

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Inputs that crash are kept here for a look afterwards.
artifacts=build/fuzz/artifacts
mkdir -p "$work/loader" "$work/replies" "$work/settings" "$artifacts"
"$bin/kaldo-make-firmware" -o "$work/loader/packet.syx" --packets 3 --data-length 20
"$bin/kaldo-make-firmware" -o "$work/loader/encrypted.syx" --packets 2 --data-length 5 --flag 1 --version 01.59
"$bin/kaldo-make-firmware" -o "$work/loader/single.syx" --format single-block --length 64
printf '\xF0\x7E\x7F\x06\x02\x00\x00\x5A\x12\x00\x01\x00\x30\x32\x38\x33\xF7' >"$work/replies/identity"
printf '\xF0\x00\x00\x5A\x12\x01\x7C\xF7' >"$work/replies/accepted"
printf '[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n[START_POS]\r\nX=300\r\nY=50\r\n[FIRMWARE]\r\nFILE=C:\\fw\\new.syx\r\n' \
    >"$work/settings/current.INI"

for target in loader replies settings; do
    echo "fuzz-smoke: kaldo_fuzz_$target for ${seconds}s"
    "$bin/kaldo_fuzz_$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work/$target" 2>&1 | tail -n 12
done
echo "fuzz-smoke: no findings"
