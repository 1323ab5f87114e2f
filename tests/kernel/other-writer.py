"""Another program on the same MIDI port: writes 1,024-byte SysEx messages of another maker (7D) to the
output whose name starts with NAME, back to back and unpaced, for SECONDS or until killed.
    python3 other-writer.py NAME SECONDS
"""
import sys
import time

import rtmidi

name, seconds = sys.argv[1], float(sys.argv[2])
out = rtmidi.MidiOut(rtmidi.API_LINUX_ALSA, name="Other writer")
ports = [i for i, port in enumerate(out.get_ports()) if port.startswith(name)]
if not ports:
    sys.exit(f"other-writer: no output named {name}: {out.get_ports()}")
out.open_port(ports[0])
message = [0xF0, 0x7D] + [0x11] * 1021 + [0xF7]
end = time.monotonic() + seconds
sent = 0
print("other-writer: writing", flush=True)
while time.monotonic() < end:
    out.send_message(message)
    sent += 1
print(f"other-writer: {sent} messages", flush=True)
