#!/usr/bin/env bash
# The amps of the kernel rig, inside the guest: each a configfs USB gadget with the MIDI function
# (product "KALDO Amp", serial number AMP<I>) on controller dummy_udc.<I>. Binding the gadget to its
# controller plugs the amp in (the kernel's USB MIDI driver makes it sound card "Amp" and sequencer
# client "KALDO Amp"); an empty UDC file is an unplug. The gadget's own end, what an amp's firmware
# reads and writes, is the raw MIDI device of the card named by `gadget.sh card I` (fmidi, fmidi1...).
#   gadget.sh plug I       make amp I if needed, plug it in, wait until the driver has made its card
#   gadget.sh unplug I     unplug amp I, wait until its USB device has gone
#   gadget.sh dir I        the gadget's configfs folder (for kaldo-amp-sim --usb-gadget)
#   gadget.sh card I       the ALSA card id of the gadget's own end (for kaldo-amp-sim --rawmidi)
# The gadgets' ends stay out of the computer's sequencer: the initramfs binds every new sequencer device
# but theirs (see seq-device).
set -euo pipefail
what="${1:?usage: gadget.sh plug|unplug|dir|card I}"
i="${2:?usage: gadget.sh plug|unplug|dir|card I}"
gadget="/sys/kernel/config/usb_gadget/amp$i"
card="fmidi${i#0}"
serial="AMP$i"

# The host's side of amp i: the USB device with its serial number, if it is there.
usb_device() {
    grep -lx "$serial" /sys/bus/usb/devices/*/serial 2>/dev/null | head -n1 | xargs -r dirname
}

# Polls every 20 ms until the command succeeds, for at most 20 s (the emulated machine is slow).
wait_for() {
    local what="$1"; shift
    for ((tries = 0; tries < 1000; tries++)); do
        if "$@"; then return 0; fi
        sleep 0.02
    done
    echo "gadget.sh: amp $i: $what did not happen within 20 s" >&2
    return 1
}
# Ready once the amp's card has its sequencer client: its sequencer device is bound to the driver.
has_card() { local dev; dev="$(usb_device)" && compgen -G "$dev/*/sound/card*/seq-midi-*/driver" > /dev/null; }
gone() { [ -z "$(usb_device)" ]; }

make_gadget() {
    mkdir "$gadget"
    echo 0x1d6b > "$gadget/idVendor"   # Linux Foundation
    echo 0x0104 > "$gadget/idProduct"  # Multifunction Composite Gadget
    mkdir "$gadget/strings/0x409"
    echo KALDO > "$gadget/strings/0x409/manufacturer"
    echo "KALDO Amp" > "$gadget/strings/0x409/product"
    echo "$serial" > "$gadget/strings/0x409/serialnumber"
    mkdir -p "$gadget/configs/c.1/strings/0x409"
    echo MIDI > "$gadget/configs/c.1/strings/0x409/configuration"
    mkdir "$gadget/functions/midi.amp"
    echo "$card" > "$gadget/functions/midi.amp/id"
    ln -s "$gadget/functions/midi.amp" "$gadget/configs/c.1/"
}

case "$what" in
    plug)
        [ -d "$gadget" ] || make_gadget
        echo "dummy_udc.$i" > "$gadget/UDC"
        wait_for "enumeration as a sound card" has_card ;;
    unplug)
        echo "" > "$gadget/UDC"
        wait_for "unplugging" gone ;;
    dir) echo "$gadget" ;;
    card) echo "$card" ;;
    *) echo "gadget.sh: unknown command $what" >&2; exit 2 ;;
esac
