#!/usr/bin/python3
"""A stand-in amp written apart from kaldo-amp-sim, on python-rtmidi's own MIDI code, so that an
upload is also checked against an amp that shares nothing with the updater's code.

independent-amp.py NAME IMAGE_OUT: opens "NAME In" and "NAME Out" on JACK, answers a header message
(37 bytes, format 19h at offset 6) with 7B, each packet with 7C, the last one also with 7D and then
71, writes what it received to IMAGE_OUT, and ends after 71 or after 60 s.
"""
import sys
import time

import rtmidi

name, image_out = sys.argv[1], sys.argv[2]
api = rtmidi.API_UNIX_JACK
midi_in = rtmidi.MidiIn(api, name=name + " In")
midi_out = rtmidi.MidiOut(api, name=name + " Out")
midi_in.ignore_types(sysex=False, timing=True, active_sense=True)
midi_in.open_virtual_port("in")
midi_out.open_virtual_port("out")


def status(code):
    return [0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, code, 0xF7]


def nibbles(header, offset):
    return sum(header[offset + i] << (4 * i) for i in range(8))


received = bytearray()
pending = bytearray()  # a SysEx message may come in pieces
packets_left = None
print("independent amp ready", flush=True)
deadline = time.monotonic() + 60
done = False
while not done and time.monotonic() < deadline:
    event = midi_in.get_message()
    if event is None:
        time.sleep(0.001)
        continue
    pending += bytes(event[0])
    if pending[-1] != 0xF7:
        continue
    message, pending = bytes(pending), bytearray()
    if message[:2] == b"\xF0\x7E":
        midi_out.send_message([0xF0, 0x7E, 0x7F, 0x06, 0x02, 0, 0, 0x5A, 0x12, 0, 1, 0,
                               0x30, 0x32, 0x38, 0x30, 0xF7])
    elif len(message) == 37 and message[6] == 0x19:
        received += message
        packets_left = nibbles(message, 7)
        time.sleep(0.3)  # after the updater's own 200 ms pause
        midi_out.send_message(status(0x7B))
    elif packets_left:
        received += message
        packets_left -= 1
        midi_out.send_message(status(0x7C))
        if packets_left == 0:
            time.sleep(1.0)  # well after the updater has seen the 7C
            midi_out.send_message(status(0x7D))
            time.sleep(0.5)
            midi_out.send_message(status(0x71))
            done = True
with open(image_out, "wb") as f:
    f.write(received)
time.sleep(0.5)
# Leave JACK properly: ports first, the clients a few cycles later. A process that just exits with
# its clients open makes the synchronous test server wait on them for about a minute.
midi_in.close_port()
midi_out.close_port()
time.sleep(0.05)
midi_in.delete()
midi_out.delete()
