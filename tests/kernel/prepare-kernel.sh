#!/usr/bin/env bash
# Prepares Debian's own kernel for the kernel rig, once: the kernel image and an initramfs made of
# busybox-static and the modules the rig loads (their dependencies in load order). Everything lands in
# CACHE/VERSION/; a second run finds it there and prepares nothing.
#   tests/kernel/prepare-kernel.sh CACHE      prints the folder of the prepared kernel
# Needs apt-get, dpkg, kmod (depmod, modprobe), cpio and busybox-static (tools/setup.sh kernel).
set -euo pipefail
cache="$(realpath -m "${1:?usage: prepare-kernel.sh CACHE}")"
here="$(cd "$(dirname "$0")" && pwd)"

# The scripts are part of the initramfs: changed ones mean a new initramfs, not a new kernel.
stamp="$(cat "$here/init" "$here/seq-device" | sha256sum | cut -c1-16)"
# A kernel prepared before is used as it is, without asking apt (which takes seconds) for a newer one;
# `rm -rf CACHE` makes the next run take the kernel Debian has now.
for out in "$cache"/*/; do
    if [ -f "$out/vmlinux" ] && [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ]; then
        echo "${out%/}"
        exit 0
    fi
done

# The kernel Debian installs today: linux-image-amd64 depends on exactly one linux-image-VERSION.
package="$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')"
[ -n "$package" ] || { echo "prepare-kernel: apt-cache knows no linux-image-amd64 (run apt-get update)" >&2; exit 1; }
version="${package#linux-image-}"
out="$cache/$version"
echo "prepare-kernel: preparing $package in $out" >&2
mkdir -p "$out"
work="$(mktemp -d "$cache/prepare.XXXXXX")"
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download "$package") >&2
dpkg -x "$work"/linux-image-*.deb "$work/tree"
depmod -b "$work/tree" "$version"

# The modules, with whatever each needs before it, in the order modprobe would load them. usb_f_midi
# and snd-usb-audio are the amp's two ends; snd-serial-u16550 is loaded only for the serial line.
modules="virtio_pci 9pnet_virtio 9p configfs snd-seq snd-seq-dummy snd-seq-midi snd-usb-audio dummy_hcd
         libcomposite usb_f_midi snd-serial-u16550"
root="$work/initramfs"
mkdir -p "$root"/{bin,modules,proc,sys,dev,host}
: > "$root/modules/order"
for module in $modules; do
    modprobe -d "$work/tree" -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
done | awk '!seen[$0]++' | while read -r path; do
    cp "$path" "$root/modules/"
    basename "$path" >> "$root/modules/order"
done
# busybox-static's /bin/busybox: the initramfs has no C library for anything else.
cp /bin/busybox "$root/bin/busybox"
cp "$here/init" "$here/seq-device" "$root/"
chmod +x "$root/init"
# Uncompressed: unpacking it is quicker for the emulated processor than inflating it.
(cd "$root" && find . | cpio -o -H newc --quiet) > "$out/initramfs.cpio"

# The kernel unpacked from its bzImage (the xz stream after its magic bytes): QEMU starts an ELF kernel
# at its PVH entry, which spares the emulated processor some 8 s of decompressing at every boot.
image="$work/tree/boot/vmlinuz-$version"
for offset in $(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$image" | cut -d: -f1); do
    tail -c +$((offset + 1)) "$image" | xz -dc > "$out/vmlinux" 2>/dev/null || true
    [ "$(head -c 4 "$out/vmlinux" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] && break
done
[ "$(head -c 4 "$out/vmlinux" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] ||
    { echo "prepare-kernel: no ELF kernel inside $image" >&2; exit 1; }
echo "$stamp" > "$out/stamp"
echo "$out"
