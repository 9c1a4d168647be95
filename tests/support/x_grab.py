#!/usr/bin/env python3
# An X screenshot of the whole screen of $DISPLAY, written to stdout as an
# xwd file (xwd_pixel.py reads it), from one GetImage of the root window.
# Not `xwd -root`: where windows have a colormap other than the root's (Qt
# gives each of its windows one), xwd reads each colormap's area from the
# lowest window that has it, so a menu or dialog open over the device window
# comes out as the black of the window's hidden part. The X protocol spoken
# here is the little this needs, with the standard library alone.
# Usage: x_grab.py >FILE.xwd
import os, re, socket, struct, sys


def pad(n):
    return (4 - n % 4) % 4


def cookie(number):
    # The MIT-MAGIC-COOKIE-1 for this display from the Xauthority file, if any
    # (an Xvfb started without -auth asks for none).
    path = os.environ.get("XAUTHORITY") or os.path.expanduser("~/.Xauthority")
    try:
        data = open(path, "rb").read()
    except OSError:
        return b"", b""
    at, host = 0, socket.gethostname().encode()
    while at + 2 <= len(data):
        family = struct.unpack_from(">H", data, at)[0]
        at += 2
        fields = []
        for _ in range(4):
            n = struct.unpack_from(">H", data, at)[0]
            fields.append(data[at + 2:at + 2 + n])
            at += 2 + n
        address, display, name, secret = fields
        if (display in (number.encode(), b"") and name == b"MIT-MAGIC-COOKIE-1" and
                (family == 256 and address == host or family == 65535)):
            return name, secret
    return b"", b""


def read(conn, n):
    out = bytearray()
    while len(out) < n:
        got = conn.recv(min(n - len(out), 1 << 20))
        if not got:
            sys.exit("x_grab.py: the X server closed the connection")
        out += got
    return bytes(out)


m = re.fullmatch(r"(?:unix)?:(\d+)(?:\.\d+)?", os.environ.get("DISPLAY", ""))
if not m:
    sys.exit("x_grab.py: DISPLAY names no local X server: %r" % os.environ.get("DISPLAY", ""))
conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
conn.connect("/tmp/.X11-unix/X" + m.group(1))
name, secret = cookie(m.group(1))
conn.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, len(name), len(secret)) + name + b"\0" * pad(len(name)) +
             secret + b"\0" * pad(len(secret)))
status, _, _, _, length = struct.unpack("<BBHHH", read(conn, 8))
setup = read(conn, length * 4)
if status != 1:
    sys.exit("x_grab.py: the X server refused the connection: %s" % setup.decode(errors="replace").strip("\0 "))
vendor, _, _, nformats, byte_order = struct.unpack_from("<HHBBB", setup, 16)
at = 32 + vendor + pad(vendor)
bpp_of = {}
for i in range(nformats):
    depth, bpp = struct.unpack_from("<BB", setup, at + 8 * i)
    bpp_of[depth] = bpp
at += 8 * nformats
root, _, _, _, _, width, height = struct.unpack_from("<IIIIIHH", setup, at)
visual_id, _, _, depth, ndepths = struct.unpack_from("<IBBBB", setup, at + 32)
masks, at = None, at + 40
for _ in range(ndepths):
    _, nvisuals = struct.unpack_from("<BxH", setup, at)
    for v in range(nvisuals):
        vid, _, _, _, red, green, blue = struct.unpack_from("<IBBHIII", setup, at + 8 + 24 * v)
        if vid == visual_id:
            masks = (red, green, blue)
    at += 8 + 24 * nvisuals
if masks is None or bpp_of.get(depth) not in (24, 32):
    sys.exit("x_grab.py: the root window is not a 24 or 32-bit true-colour one")

# GetImage (73) of the whole root window, ZPixmap, all planes.
conn.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, root, 0, 0, width, height, 0xFFFFFFFF))
head = read(conn, 32)
if head[0] != 1:
    sys.exit("x_grab.py: GetImage failed (X error %d)" % head[1])
pixels = read(conn, struct.unpack_from("<I", head, 4)[0] * 4)
bpp = bpp_of[depth]
stride = len(pixels) // height
window = b"root\0"
sys.stdout.buffer.write(
    struct.pack(">25I", 100 + len(window), 7, 2, depth, width, height, 0, byte_order, 32, byte_order, 32, bpp, stride,
                4, *masks, 8, 256, 0, width, height, 0, 0, 0) + window + pixels)
