#!/usr/bin/env python3
# The colours at pixels of an X screenshot (x_grab.py, 24 or 32 bits a
# pixel), with the standard library alone; --png OUT X Y W H also writes
# that part of it as a PNG.
# Usage: xwd_pixel.py FILE [--png OUT X Y W H] [X Y ...]; prints
# {"size": [w, h], "pixels": [[r, g, b], ...]}.
import json, struct, sys, zlib

data = open(sys.argv[1], "rb").read()
args = sys.argv[2:]
crop = None
if args[:1] == ["--png"]:
    crop, args = (args[1], *map(int, args[2:6])), args[6:]
f = struct.unpack(">25I", data[:100])
header, version, fmt, depth, w, h = f[:6]
order, bpp, stride, masks, ncolors = f[7], f[11], f[12], f[14:17], f[19]
assert version == 7 and fmt == 2 and bpp in (24, 32), "not a 24 or 32-bit ZPixmap xwd file"
pixels = data[header + 12 * ncolors:]
step = bpp // 8
shifts = [(m & -m).bit_length() - 1 for m in masks]


def rgb(x, y):
    i = y * stride + x * step
    v = int.from_bytes(pixels[i:i + step], "little" if order == 0 else "big")
    return [(v & m) >> s for m, s in zip(masks, shifts)]


def row(x, y, n):
    # n pixels from (x, y) as RGB bytes: by slices for the usual 32 bits a
    # pixel, one byte each of red, green, blue; pixel by pixel otherwise.
    if step == 4 and sorted(masks) == [0xFF, 0xFF00, 0xFF0000]:
        line, out = pixels[y * stride + 4 * x:y * stride + 4 * (x + n)], bytearray(3 * n)
        for i, m in enumerate(masks):
            at = (m.bit_length() // 8 - 1) if order == 0 else 4 - m.bit_length() // 8
            out[i::3] = line[at::4]
        return bytes(out)
    return bytes(c for i in range(x, x + n) for c in rgb(i, y))


if crop:
    out, cx, cy, cw, ch = crop
    raw = b"".join(b"\0" + row(cx, y, cw) for y in range(cy, cy + ch))
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    open(out, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", cw, ch, 8, 2, 0, 0, 0)) +
                          chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
points = [(int(x), int(y)) for x, y in zip(args[::2], args[1::2])]
print(json.dumps({"size": [w, h], "pixels": [rgb(x, y) for x, y in points]}))
