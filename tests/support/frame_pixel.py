#!/usr/bin/env python3
# The colours at points of what a device's display shows now, read as the
# device window reads it: the display's "frame" answer names the slot of
# run/display.frames and its size; 4 bytes a pixel, blue first.
# Usage: frame_pixel.py DEVICE X Y [X Y ...] (points of the screen); prints
# {"size": [w, h], "pixels": [[r, g, b], ...]}.
import json, socket, struct, sys

run = sys.argv[1] + "/run"
points = [(float(x), float(y)) for x, y in zip(sys.argv[2::2], sys.argv[3::2])]


def ask(request):
    with socket.socket(socket.AF_UNIX) as s:
        s.settimeout(10)
        s.connect(run + "/display.sock")
        s.sendall(json.dumps(request).encode() + b"\n")
        line = b""
        while not line.endswith(b"\n"):
            chunk = s.recv(4096)
            if not chunk:
                break
            line += chunk
    return json.loads(line)


screen = ask({"verb": "status"})
frame = ask({"verb": "frame", "after": 0})
scale = frame["width"] / screen["width"]
with open(run + "/display.frames", "rb") as f:
    slot_bytes = struct.unpack("<Q", f.read(16)[8:16])[0]
    pixels = []
    for x, y in points:
        f.seek(64 + frame["slot"] * slot_bytes + int(y * scale) * frame["stride"] + int(x * scale) * 4)
        b, g, r = f.read(3)
        pixels.append([r, g, b])
print(json.dumps({"size": [frame["width"], frame["height"]], "pixels": pixels}))
