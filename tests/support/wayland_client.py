#!/usr/bin/env python3
# A raw Wayland client of a device's display, speaking the wire protocol
# itself, to do what a faulty or hostile client may: its shared memory
# cut short under a committed buffer.
# Usage: wayland_client.py RUN_DIR MODE
#   short-pool   a pool declared 1 MiB over a 4 KiB memfd, its buffer committed
#   truncated    a good buffer committed, then its memfd truncated; the
#                window is brought to front so that the display reads it again
#   big          a 2000x2000 buffer committed again and again for 3 s
#   overlay      a window titled as the home screen's overlay
# Prints "dropped" when the display ends this client's connection (with an
# error or without), "kept" when it still answers after 5 s; in overlay
# mode, "overlay" or "window": what the display holds the window to be.
import json, os, select, socket, struct, sys, time

run, mode = sys.argv[1], sys.argv[2]
sock = socket.socket(socket.AF_UNIX)
sock.connect(run + "/display.wayland")
next_id = [2]
ids = {}


def new(name):
    ids[name] = next_id[0]
    next_id[0] += 1
    return ids[name]


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def send(obj, opcode, payload=b"", fds=()):
    message = struct.pack("<II", obj, ((8 + len(payload)) << 16) | opcode) + payload
    try:
        socket.send_fds(sock, [message], list(fds)) if fds else sock.sendall(message)
    except (BrokenPipeError, ConnectionResetError):
        pass  # the display closed the connection: the next read says so


buffer = b""


def events(timeout):
    """Yields (object, opcode, payload) until `timeout` passes with nothing; None once the display closed."""
    global buffer
    end = time.time() + timeout
    while True:
        while len(buffer) >= 8:
            obj, word = struct.unpack("<II", buffer[:8])
            size = word >> 16
            if len(buffer) < size:
                break
            payload, buffer = buffer[8:size], buffer[size:]
            yield obj, word & 0xFFFF, payload
        left = end - time.time()
        if left <= 0 or not select.select([sock], [], [], left)[0]:
            return
        try:
            chunk = sock.recv(65536)
        except ConnectionResetError:
            chunk = b""
        if not chunk:
            yield None
            return
        buffer += chunk


def roundtrip():
    callback = new("callback%d" % next_id[0])
    send(1, 0, struct.pack("<I", callback))  # wl_display.sync
    for e in events(5):
        if e is None or e[0] == 1 and e[1] == 0:  # closed, or wl_display.error
            return False
        if e[0] == callback:
            return True
    return False


send(1, 1, struct.pack("<I", new("registry")))  # wl_display.get_registry
globals_ = {}
callback = new("sync")
send(1, 0, struct.pack("<I", callback))
for e in events(5):
    if e and e[0] == ids["registry"] and e[1] == 0:
        name, length = struct.unpack("<II", e[2][:8])
        interface = e[2][8:8 + length - 1].decode()
        globals_[interface] = name
    if e and e[0] == callback:
        break


def bind(interface, version):
    oid = new(interface)
    send(ids["registry"], 0, struct.pack("<I", globals_[interface]) + string(interface) +
         struct.pack("<II", version, oid))
    return oid


compositor, shm, wm = bind("wl_compositor", 4), bind("wl_shm", 1), bind("xdg_wm_base", 1)
surface, xdg, toplevel = new("surface"), new("xdg_surface"), new("toplevel")
send(compositor, 0, struct.pack("<I", surface))
send(wm, 2, struct.pack("<II", xdg, surface))
send(xdg, 1, struct.pack("<I", toplevel))
send(toplevel, 2, string("overlay" if mode == "overlay" else "attacker"))  # set_title
send(surface, 6)  # commit, for the first configure
serial = None
for e in events(5):
    if e and e[0] == xdg and e[1] == 0:
        serial = struct.unpack("<I", e[2])[0]
        break
if serial is None:
    sys.exit("no configure")
send(xdg, 4, struct.pack("<I", serial))  # ack_configure

width, height = (2000, 2000) if mode == "big" else (100, 100)
memfd = os.memfd_create("pool")
declared = width * height * 4
if mode == "short-pool":
    os.ftruncate(memfd, 4096)
    declared = 1 << 20
else:
    os.ftruncate(memfd, declared)
    os.pwrite(memfd, b"\x80" * declared, 0)
pool, buf = new("pool"), new("buffer")
send(shm, 0, struct.pack("<Ii", pool, declared), [memfd])  # create_pool
send(pool, 0, struct.pack("<IiiiiI", buf, 0, width, height, width * 4, 1))  # create_buffer, XRGB8888
send(surface, 1, struct.pack("<Iii", buf, 0, 0))  # attach
send(surface, 2, struct.pack("<iiii", 0, 0, width, height))  # damage
send(surface, 6)  # commit
alive = roundtrip()
end = time.time() + 3
while alive and mode == "big" and time.time() < end:
    for _ in range(50):
        send(surface, 1, struct.pack("<Iii", buf, 0, 0))
        send(surface, 2, struct.pack("<iiii", 0, 0, width, height))
        send(surface, 6)
    alive = roundtrip()
if alive and mode == "truncated":
    os.ftruncate(memfd, 0)
    # Nothing more from this client: the display reads the buffer again
    # when it shows the window anew.
    with socket.socket(socket.AF_UNIX) as control:
        control.settimeout(5)
        control.connect(run + "/display.sock")
        control.sendall(json.dumps({"verb": "front", "pid": os.getpid()}).encode() + b"\n")
        control.recv(4096)
    alive = roundtrip()
if alive and mode == "overlay":
    with socket.socket(socket.AF_UNIX) as control:
        control.settimeout(5)
        control.connect(run + "/display.sock")
        control.sendall(json.dumps({"verb": "status"}).encode() + b"\n")
        windows = json.loads(control.makefile().readline())["windows"]
    mine = [w for w in windows if w["pid"] == os.getpid()]
    print("overlay" if any(w.get("overlay") for w in mine) else "window" if mine else "none")
    sys.exit()
print("kept" if alive else "dropped")
