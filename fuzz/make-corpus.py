#!/usr/bin/env python3
"""Writes the seed corpora: for the frame fuzzer one file per valid frame (the
flags octet of the raw record first, then the frame octets); for the loader
fuzzer a few valid trace log files."""
import os
import struct

FRAMES = {
    "tei-request": "00 FC FF 03 0F 12 34 01 FF",
    "tei-assigned": "01 FE FF 03 0F 12 34 02 81",
    "sabme": "00 00 81 7F",
    "ua": "01 00 81 73",
    "rr": "01 02 81 01 02",
    "rej": "00 00 81 09 11",
    "setup": "00 00 81 00 00 08 01 01 05 A1 04 03 80 90 A3 18 01 83 6C 06 01 80 34 35 36 37 70 05 81 31 32 33 34",
    "call-proceeding": "01 02 81 00 02 08 01 81 02 18 01 89",
    "alerting": "01 02 81 02 02 08 01 81 01 1E 02 80 88 34 01 01",
    "connect": "01 02 81 04 02 08 01 81 07 29 06 60 0C 1F 17 3B 00 28 05 48 65 6C 6C 6F",
    "connect-ack": "00 00 81 02 06 08 01 01 0F",
    "disconnect": "00 00 81 04 06 08 01 01 45 08 03 00 80 91",
    "release": "01 02 81 06 06 08 01 81 4D 08 02 80 90",
    "release-complete": "00 00 81 06 08 08 01 01 5A",
    "setup-broadcast": "01 02 FF 03 08 01 05 05 04 02 88 90 18 01 8A 6C 04 81 39 38 37 70 03 80 35 30",
    "shifts": "00 00 81 00 00 08 01 01 05 9E 04 02 88 90 95 70 02 81 31 90 A1",
    "channel-pri": "00 00 81 00 00 08 02 00 01 05 18 05 E9 01 81 83 82 18 05 A9 83 01 02 83",
    "national": "00 00 81 00 00 08 01 01 00 3A 74 04 00 00 81 31 14 01 0A 27 01 81 2C 02 31 32",
    "status": "01 02 81 00 00 08 01 81 7D 08 02 80 E4 14 01 19 B3",
}

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus", "frame")
os.makedirs(out, exist_ok=True)
for name, text in FRAMES.items():
    with open(os.path.join(out, name + ".bin"), "wb") as f:
        f.write(bytes(int(b, 16) for b in text.split()))


def record(kind, seq, data, flags=0):
    if kind == 3:
        length = len(data) + 28
        body = struct.pack("<II", flags << 8, len(data)) + data
    else:
        length = len(data) + 24
        body = struct.pack("<I", len(data)) + data
    head = struct.pack("<IHHBBBBBBH", length, kind, seq, 12, 34, 56, 78, 1, 2, 0)
    return head + body + struct.pack("<I", length)


banner = b"Orin Intl Binary Trace File 07/03/97 14:05:09\n"
header = banner + b"\0\0" + struct.pack("<HH", 0x100, 3)
frames = [bytes(int(b, 16) for b in text.split()) for text in FRAMES.values()]
call = header + b"".join(record(3, i, f[1:], f[0]) for i, f in enumerate(frames))
mixed = header + record(1, 1, b"hello\tworld\x01\0") + record(2, 2, bytes(range(40))) + \
    record(4, 3, b"") + record(3, 4, frames[4][1:], 1)
out = os.path.join(here, "corpus", "loadfile")
os.makedirs(out, exist_ok=True)
for name, content in {"call.log": call, "mixed.log": mixed, "empty.log": header,
                      "partial-header.log": header + b"\x20\0\0\0\3\0"}.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(content)

# The analyser fuzzer reads records as a control octet (bit 0: network side;
# bits 7..1: hundredths since the record before), a length octet and the frame.
def analysed(names, step=5):
    out = b""
    for name in names:
        f = bytes(int(b, 16) for b in FRAMES[name].split())
        out += bytes([f[0] | (step << 1), len(f) - 1]) + f[1:]
    return out


out = os.path.join(here, "corpus", "analysis")
os.makedirs(out, exist_ok=True)
answered = ["tei-request", "tei-assigned", "sabme", "ua", "setup", "call-proceeding", "alerting", "connect",
            "connect-ack", "disconnect", "release", "release-complete"]
for name, content in {"every-frame.bin": analysed(FRAMES.keys()),
                      "answered.bin": analysed(answered),
                      "broadcast.bin": analysed(["setup-broadcast", "sabme", "ua", "call-proceeding", "alerting"]),
                      "rejected.bin": analysed(["sabme", "ua", "setup", "rej", "rr", "release-complete"], 127)}.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(content)
