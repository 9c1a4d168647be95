#!/usr/bin/env python3
# The colours at points of what a device's display shows now, read as the
# device window reads it: the display hands over its frame memory ("frames")
# and its "frame" answer names the slot and its size; 4 bytes a pixel, blue
# first.
# Usage: frame_pixel.py DEVICE X Y [X Y ...] (points of the screen); prints
# {"size": [w, h], "pixels": [[r, g, b], ...]}.
import json, mmap, os, socket, struct, sys

run = sys.argv[1] + "/run"
points = [(float(x), float(y)) for x, y in zip(sys.argv[2::2], sys.argv[3::2])]


def ask(request, fds=None):
    with socket.socket(socket.AF_UNIX) as s:
        s.settimeout(10)
        s.connect(run + "/display.sock")
        s.sendall(json.dumps(request).encode() + b"\n")
        line = b""
        while not line.endswith(b"\n"):
            chunk, got, _, _ = socket.recv_fds(s, 4096, 1)
            if fds is not None:
                fds.extend(got)
            if not chunk:
                break
            line += chunk
    return json.loads(line)


screen = ask({"verb": "status"})
frame = ask({"verb": "frame", "after": 0})
scale = frame["width"] / screen["width"]
fds = []
ask({"verb": "frames"}, fds)
with mmap.mmap(fds[0], 0, prot=mmap.PROT_READ) as memory:
    slot_bytes = struct.unpack("<Q", memory[8:16])[0]
    pixels = []
    for x, y in points:
        at = 64 + frame["slot"] * slot_bytes + int(y * scale) * frame["stride"] + int(x * scale) * 4
        b, g, r = memory[at:at + 3]
        pixels.append([r, g, b])
os.close(fds[0])
print(json.dumps({"size": [frame["width"], frame["height"]], "pixels": pixels}))
