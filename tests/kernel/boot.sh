#!/usr/bin/env bash
# Boots Debian's kernel in QEMU by software emulation (no KVM needed) and runs one command inside,
# in a chroot of this machine's root (shared read-only over 9p), with the amps plugged in; prints the
# guest's console and exits with the command's status (125 when the guest never ran it).
#   tests/kernel/boot.sh CACHE [--amps N] [--uart FILE] -- COMMAND [ARG...]
# CACHE is the folder of prepared kernels (prepare-kernel.sh CACHE, which this runs: at once when the
# kernel is prepared already). COMMAND runs as root in the current folder, with
# KALDO_WORK set to a folder that both sides can write (it is removed afterwards), after
# tests/kernel/guest.sh has plugged in N amps (default 1). --uart gives the guest a second 16550
# UART, its transmitted bytes written to FILE, and loads the serial MIDI driver on it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cache="${1:?usage: boot.sh CACHE [--amps N] [--uart FILE] -- COMMAND...}"
shift
amps=1
uart=""
while [ $# -gt 0 ]; do
    case "$1" in
        --amps) amps="$2"; shift 2 ;;
        --uart) uart="$(realpath -m "$2")"; shift 2 ;;
        --) shift; break ;;
        *) echo "boot.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "boot.sh: no command" >&2; exit 2; }
kernel="$(bash "$here/prepare-kernel.sh" "$cache")"

# The work folder sits in the build folder: the guest sees it at the same path, mounted over the
# read-only root (a checkout under /tmp included, though the guest's /tmp is a tmpfs of its own).
work="$(mktemp -d "$kernel/run.XXXXXX")"
trap 'rm -rf "$work"' EXIT
{
    echo "cd $(printf '%q' "$PWD")"
    echo "export KALDO_WORK=$(printf '%q' "$work") KALDO_AMPS=$amps"
    # The host's display and MIDI settings mean nothing in the guest; the test's own do.
    for name in $(compgen -e); do
        case "$name" in KALDO_*|QT_*|XDG_*|TSAN_OPTIONS|ASAN_OPTIONS|UBSAN_OPTIONS|LSAN_OPTIONS|LD_LIBRARY_PATH)
            echo "export $name=$(printf '%q' "${!name}")" ;;
        esac
    done
    printf 'exec bash %q' "$here/guest.sh"
    printf ' %q' "$@"
    echo
} > "$work/run"

serial=(-serial stdio)
append="console=ttyS0 quiet panic=-1 8250.nr_uarts=1 kaldo.work=$work kaldo.amps=$amps"
if [ -n "$uart" ]; then
    # COM2's address and interrupt; the kernel's own serial driver is kept off it (no ACPI serial
    # devices, one legacy port: the console's) so that the serial MIDI driver can take it.
    serial+=(-chardev "file,id=midi,path=$uart" -device isa-serial,chardev=midi,iobase=0x2f8,irq=3)
    append+=" pnpacpi=off kaldo.uart=1"
fi
# -smp 2: TCG runs each virtual processor on a host thread of its own; the amp's side and the
# updater's side then both run while the other waits for the emulated USB.
qemu-system-x86_64 -machine q35 -accel tcg -smp 2 -m 1536 -nodefaults -display none -no-reboot \
    -kernel "$kernel/vmlinux" -initrd "$kernel/initramfs.cpio" -append "$append" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work,mount_tag=work,security_model=none,multidevs=remap" \
    "${serial[@]}" < /dev/null
status="$(cat "$work/status" 2>/dev/null || echo 125)"
[ "$status" != 125 ] || echo "boot.sh: the guest did not run the command to its end" >&2
exit "$status"
