#!/usr/bin/env python3
"""Prints the names of this user's JACK servers that JACK's table still lists but that are gone.

JACK registers every server in a shared table of eight entries and frees an entry only when its server
stops cleanly or a server of the same name starts again. A server killed with -9 keeps its entry, and
once eight are taken no server starts ("Too many servers already active")."""
import os
import struct

REGISTRY = "/dev/shm/jack-shm-registry"
ENTRIES = 8        # MAX_SERVERS in jackd2
HEADER = 24        # magic, protocol, type, size, hdr_len, entry_len


def main():
    try:
        with open(REGISTRY, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return
    hdr_len = struct.unpack_from("<i", data, 16)[0]
    stride = (hdr_len - HEADER) // ENTRIES
    prefix = f"jack-{os.getuid()}:"
    for i in range(ENTRIES):
        offset = HEADER + i * stride
        pid = struct.unpack_from("<i", data, offset)[0]
        name = data[offset + 4:offset + stride].split(b"\0")[0].decode(errors="replace")
        if pid == 0 or not name.startswith(prefix):
            continue
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            print(name[len(prefix):].rstrip(":"))
        except PermissionError:
            pass  # alive, another user's


main()
