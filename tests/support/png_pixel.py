#!/usr/bin/env python3
# The colours at pixels of an 8-bit RGB or RGBA PNG, such as the device's
# screenshots, with the standard library alone.
# Usage: png_pixel.py FILE X Y [X Y ...]; prints {"size": [w, h], "pixels": [[r, g, b], ...]}.
import json, struct, sys, zlib

data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
points = [(int(x), int(y)) for x, y in zip(sys.argv[2::2], sys.argv[3::2])]
pos, idat = 8, b""
while pos < len(data):
    n, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b"IHDR":
        w, h, depth, ctype = struct.unpack(">IIBB", body[:10])
        assert depth == 8 and ctype in (2, 6), (depth, ctype)
        bpp = 4 if ctype == 6 else 3
    elif kind == b"IDAT":
        idat += body
    pos += 12 + n
# Each row is unfiltered against the one before; rows below the last point are not needed.
raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
for y in range(min(h, max((p[1] for p in points), default=-1) + 1)):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (b if abs(p - b) <= abs(p - c) else c)
        line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][f]) & 0xFF
    rows.append(line)
    prev = line
print(json.dumps({"size": [w, h], "pixels": [list(rows[y][x * bpp:x * bpp + 3]) for x, y in points]}))
