#!/usr/bin/env bash
# Runs inside the guest (in the chroot of the host's root): plugs in KALDO_AMPS amps, waits until the
# kernel's USB MIDI driver has made each a sound card, then runs the command.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
echo "rig: $(cut -d" " -f1 /proc/uptime) s: plugging in $KALDO_AMPS amp(s)"
for ((i = 0; i < KALDO_AMPS; i++)); do bash "$here/gadget.sh" plug "$i"; done
echo "rig: $(cut -d" " -f1 /proc/uptime) s: running $*"
exec "$@"
