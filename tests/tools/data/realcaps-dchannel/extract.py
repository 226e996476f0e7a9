#!/usr/bin/env python3
# Writes the LAPD frames of any capture file tshark reads as a pcap of link
# type 177 (LINUX_LAPD), each frame's side in the pseudo-header's packet type
# (4: sent by the capturing terminal, 0: from the network), so that the real
# captures in tests/data/realcaps/ can be checked as capture files.
#   extract.py CAPTURE OUT.pcap
import json
import struct
import subprocess
import sys

src, dst = sys.argv[1], sys.argv[2]
out = subprocess.run(["tshark", "-r", src, "-Y", "lapd", "-T", "json", "-x"],
                     capture_output=True, check=True).stdout
with open(dst, "wb") as f:
    f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 177))
    for packet in json.loads(out):
        layers = packet["_source"]["layers"]
        frame = layers["frame"]
        start = layers["lapd_raw"][1]  # where the LAPD header begins in the frame
        data = bytes.fromhex(layers["frame_raw"][0])[start:]
        # p2p_dir 0 is the capturing side's own frame; without it, the network's.
        sent = frame.get("frame.p2p_dir", "1") == "0"
        header = struct.pack(">HHH8sH", 4 if sent else 0, 0x20FD, 0, b"\0" * 8, 0x0030)
        seconds = float(frame["frame.time_epoch"])
        whole = int(seconds)
        f.write(struct.pack("<IIII", whole, int(round((seconds - whole) * 1e6)),
                            len(header) + len(data), len(header) + len(data)) + header + data)
