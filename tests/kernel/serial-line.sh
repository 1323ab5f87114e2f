#!/usr/bin/env bash
# Measures the serial MIDI line of the rig: how long 30,000 bytes take to leave through the kernel's
# serial MIDI driver on QEMU's emulated 16550 (31,250 baud would need 9.6 s). Run it in the guest with
# the UART, from the top of the tree after a build:
#   bash tests/kernel/boot.sh build/kernel --uart OUT -- bash tests/kernel/serial-line.sh build/default/bin
# OUT then holds what the UART sent: the block twice, each after the driver's port select (F5 01).
set -euo pipefail
bin="${1:?usage: serial-line.sh BIN}"
card="$(awk '/Serial MIDI/ {print $1; exit}' /proc/asound/cards)"
[ -n "$card" ] || { echo "serial-line: no serial MIDI card (boot.sh --uart loads it)" >&2; exit 1; }
"$bin/kaldo-make-firmware" -o /tmp/30k.syx --format single-block --length 30000
# dd returns once the driver has taken the block, its close once the block has left.
start=$(date +%s%N)
timeout 60 dd if=/tmp/30k.syx of="/dev/snd/midiC${card}D0" bs=30000 2>&1 | tail -n1
echo "serial-line: raw device, written and closed in $((($(date +%s%N) - start) / 1000000)) ms"
start=$(date +%s%N)
timeout 120 "$bin/kaldo-flash" send /tmp/30k.syx --out "Serial MIDI"
echo "serial-line: kaldo-flash send (its start included) in $((($(date +%s%N) - start) / 1000000)) ms"
grep "Tx bytes" "/proc/asound/card$card/midi0"
