#!/usr/bin/python3
# The device's page in a real browser (headless Chromium through Selenium),
# used as a person would: the home screen shows, a click on the Settings
# icon opens Settings, typed keys reach a text field, Home, an incoming call
# from the page's controls shows the marker and the page says what the phone
# did, Silent switches the device and shows its state. Then what must stay out does:
# a wrong token, another site's WebSocket, oversized and flooding clients.
# Usage: serve_browser.py SIMCTL DEV URL [PICTURE.png]; one line per failed
# check, exit 1 on any.
import json, os, plistlib, shutil, signal, socket, subprocess, sys, tempfile, time, urllib.error, urllib.request
from urllib.parse import urlsplit

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

SIMCTL, DEV, URL = sys.argv[1:4]
PICTURE = sys.argv[4] if len(sys.argv) > 4 else ""
parts = urlsplit(URL)
HOST, PORT, TOKEN = parts.hostname, parts.port, parts.path.strip("/")
failed = 0
# A hang fails the test rather than the suite's time-out, and the browser
# and its profile still go.
def hung(*_):
    raise TimeoutError("the browser test hung")
signal.signal(signal.SIGALRM, hung)
signal.alarm(150)


def check(name, ok):
    global failed
    if not ok:
        failed += 1
        print("FAILED:", name)


def eventually(f, seconds=8):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if f():
                return True
        except Exception:
            pass
        time.sleep(0.1)
    return bool(f())


def sim(*args):
    out = subprocess.run([SIMCTL, args[0], DEV, *args[1:]], capture_output=True, text=True, timeout=30)
    return json.loads(out.stdout) if out.stdout.strip() else {}


def nodes(bundle):
    def walk(n):
        if n.get("visible", True):
            yield n
            for c in n.get("children", []):
                yield from walk(c)
    return list(walk(sim("ui", bundle, "tree")["tree"]))


def centre(bundle, **match):
    n = next(n for n in nodes(bundle) if all(n.get(k) == v for k, v in match.items()))
    return n["frame"][0] + n["frame"][2] / 2, n["frame"][1] + n["frame"][3] / 2


def shown_pid():
    return sim("apps").get("shown")


def pid_of(bundle):
    return next(a["pid"] for a in sim("apps")["apps"] if a["bundle"] == bundle and a["state"] == "running")


# ---- the page in the browser ----------------------------------------------
profile = tempfile.mkdtemp(prefix="calmora-chromium.")
options = webdriver.ChromeOptions()
options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
for a in ("--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
          "--disable-component-update", "--disable-sync", "--window-size=900,1000", "--user-data-dir=" + profile):
    options.add_argument(a)
driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"), options=options)
try:
    driver.get(URL)
    check("the page draws the device's frames", eventually(lambda: driver.execute_script("return calmora.frames") > 0))

    def canvas_rgb(x, y):
        return driver.execute_script("""
            const c = document.getElementById('canvas'), s = c.width / calmora.points.width;
            const d = c.getContext('2d').getImageData(Math.floor(arguments[0] * s), Math.floor(arguments[1] * s), 1, 1).data;
            return [d[0], d[1], d[2]];""", x, y)

    def tap(x, y):
        # A real click at the page's point over the screen's point (x, y).
        px, py = driver.execute_script("""
            const r = document.getElementById('canvas').getBoundingClientRect(), z = r.width / calmora.points.width;
            return [r.left + arguments[0] * z, r.top + arguments[1] * z];""", x, y)
        for kind in ("mousePressed", "mouseReleased"):
            driver.execute_cdp_cmd("Input.dispatchMouseEvent",
                                   {"type": kind, "x": px, "y": py, "button": "left", "clickCount": 1})

    # The home screen, as the device itself shows it: the colours of the
    # Settings icon's picture (near its top, where it is flat grey) and of
    # the wallpaper are those of the device's own screenshot there.
    icon = next(n for n in nodes("com.apple.springboard") if n.get("identifier") == "com.apple.Preferences")
    sx, iy = icon["frame"][0] + icon["frame"][2] / 2, icon["frame"][1] + 30
    points = [(sx, icon["frame"][1] + 5), (187, 500)]
    shot = os.path.join(profile, "device.png")
    scale = sim("screenshot", shot)["width"] / driver.execute_script("return calmora.points.width")
    own = json.loads(subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "png_pixel.py"), shot] +
                                    [str(int(v * scale)) for p in points for v in p],
                                    capture_output=True, text=True).stdout)["pixels"]
    close = lambda a, b: all(abs(p - q) <= 8 for p, q in zip(a, b))
    shown = lambda: [canvas_rgb(*p) for p in points]
    check("the page shows the home screen (the Settings icon's and the wallpaper's colours): %s vs %s" % (shown(), own),
          eventually(lambda: all(close(a, b) for a, b in zip(shown(), own))))
    if PICTURE:
        driver.save_screenshot(PICTURE)

    # Nothing comes while the screen is still (a new minute may change it
    # once: three tries).
    def still():
        before = driver.execute_script("return calmora.frames")
        time.sleep(1.5)
        return driver.execute_script("return calmora.frames") == before
    check("no frames while the screen is still", any(still() for _ in range(3)))

    home = shown_pid()
    tap(sx, iy)
    settings = "com.apple.Preferences"
    check("a click on the Settings icon opens Settings", eventually(lambda: shown_pid() == pid_of(settings)))

    # A click on the Calmora row opens its pane, whose list the wheel
    # scrolls under the pointer.
    tap(*centre(settings, text="Calmora"))
    check("a click on a row opens the pane", eventually(lambda: any(n.get("text") == "Enabled" for n in nodes(settings))))
    row_y = lambda: next(n["frame"][1] for n in nodes(settings) if n.get("text") == "Contacts")
    before = row_y()
    px, py = driver.execute_script("""
        const r = document.getElementById('canvas').getBoundingClientRect(), z = r.width / calmora.points.width;
        return [r.left + 187 * z, r.top + 400 * z];""")
    for _ in range(3):
        driver.execute_cdp_cmd("Input.dispatchMouseEvent", {"type": "mouseWheel", "x": px, "y": py, "deltaX": 0, "deltaY": 100})
        time.sleep(0.1)
    check("the wheel scrolls the list", eventually(lambda: row_y() < before - 60) or print("  row", before, row_y()))
    # What the page moved and drew as the list scrolled is the screen a new
    # page is sent whole: two columns through the list's text, row for row.
    column = lambda: driver.execute_script("""
        const c = document.getElementById('canvas'), s = c.width / calmora.points.width, out = [];
        for (const x of [30, 60]) {
          const d = c.getContext('2d').getImageData(Math.floor(x * s), 0, 1, c.height).data;
          for (let i = 0; i < d.length; i += 4) out.push(d[i], d[i + 1], d[i + 2]);
        }
        return out;""")
    still()
    moved = column()
    scrolled = driver.current_window_handle
    driver.switch_to.new_window("window")
    driver.get(URL)
    eventually(lambda: driver.execute_script("return calmora.frames") > 0)
    whole = column()
    driver.close()
    driver.switch_to.window(scrolled)
    check("the scrolled list the page drew is the screen, pixel for pixel (%d of %d differ)" %
          (sum(a != b for a, b in zip(moved, whole)), len(moved)), moved == whole)

    driver.find_element("id", "home").click()
    check("the Home button brings the home screen back", eventually(lambda: shown_pid() == home))

    # Typed keys reach the log viewer's search field, capitals and spaces too.
    viewer = "com.veltrane.calmora"
    sim("launch", viewer)
    check("the log viewer is in front", eventually(lambda: shown_pid() == pid_of(viewer)))
    time.sleep(0.5)
    tap(*centre(viewer, **{"class": "UITextField"}))
    time.sleep(0.3)
    ActionChains(driver).send_keys("Mal O").perform()
    ActionChains(driver).send_keys(Keys.BACKSPACE, Keys.BACKSPACE).perform()
    field = lambda: next(n.get("text") for n in nodes(viewer) if n["class"] == "UITextField")
    check("typed keys reach the focused field, Backspace too", eventually(lambda: field() == "Mal"))
    driver.execute_script("""
        const data = new DataTransfer();
        data.setData('text/plain', 'ry!');
        document.dispatchEvent(new ClipboardEvent('paste', {clipboardData: data, bubbles: true}));""")
    check("pasted text reaches it too", eventually(lambda: field() == "Malry!"))

    # Appearance from the page's controls: the viewer's empty list turns
    # dark, then light again.
    list_sum = lambda: sum(canvas_rgb(187, 500))
    driver.find_element("id", "dark").click()
    check("Dark darkens the app in front", eventually(lambda: list_sum() < 100))
    driver.find_element("id", "light").click()
    check("Light lightens it again", eventually(lambda: list_sum() > 600))
    driver.find_element("id", "home").click()
    check("Home again", eventually(lambda: shown_pid() == home))

    # An incoming call of the blocked contact, from the page's controls.
    caller = driver.find_element("id", "caller")
    caller.send_keys("Zoe Zetterberg")
    driver.find_element("css selector", "#call button").click()
    marker = lambda: (lambda c: abs(c[0] - 0xE2) < 12 and c[1] < 70 and c[2] < 40)(canvas_rgb(361, 638))
    check("an incoming call of a blocked contact shows the marker", eventually(marker))
    note = lambda: driver.find_element("id", "note").text
    check("the page says the blocked call ended before it rang", eventually(lambda: note() == "Ended before it rang"))

    # One the blocker lets through rings, and the page says so.
    caller.clear()
    caller.send_keys("Alex Moss")
    driver.find_element("css selector", "#call button").click()
    check("the page says an allowed call is ringing", eventually(lambda: note() == "Ringing"))
    check("the phone has it ringing, and Decline ends it", "call" in sim("decline"))

    # Silent switches the device's side switch.
    silent = lambda: driver.find_element("id", "silent").is_selected()
    described = lambda: plistlib.load(open(os.path.join(DEV, "Device.plist"), "rb")).get("Silent", False)
    check("the Silent box starts as the device is: off", not silent() and not described())
    driver.find_element("id", "silent").click()
    check("Silent turns the device's side switch on", eventually(described))

    # A second page sees the same screen, and the switch's state.
    first = driver.current_window_handle
    driver.switch_to.new_window("window")
    driver.get(URL)
    check("a second page shows the same screen, the marker too", eventually(marker))
    check("a second page shows Silent on", eventually(silent))
    driver.close()
    driver.switch_to.window(first)
    # Switched elsewhere, the box follows.
    subprocess.run([SIMCTL, "silent", DEV, "off"], capture_output=True, timeout=30)
    check("Silent switched off by simctl shows off in the page", eventually(lambda: not silent()))

    # Restart Home Screen: a new home-screen process, and the page goes on
    # showing the screen.
    springboard = lambda: open(os.path.join(DEV, "run", "springboard.pid")).read().strip()
    old = springboard()
    driver.find_element("id", "respring").click()
    check("Restart Home Screen starts a new home screen", eventually(lambda: springboard() != old and sim("status").get("running"), 20))
    check("the page stays connected and shows it", eventually(
        lambda: driver.execute_script("return calmora.connected") and close(canvas_rgb(187, 500), own[1]), 10))

    # The screenshot download is the device's own pixels.
    png = urllib.request.urlopen(URL + "screenshot.png").read()
    check("the screenshot is a PNG", png[:8] == b"\x89PNG\r\n\x1a\n")
finally:
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)


# ---- what must stay out ---------------------------------------------------
def status_of(path, headers=None):
    try:
        return urllib.request.urlopen(urllib.request.Request("http://%s:%d%s" % (HOST, PORT, path), headers=headers or {})).status
    except urllib.error.HTTPError as e:
        return e.code


def raw(request, read=True):
    s = socket.create_connection((HOST, PORT), timeout=5)
    s.sendall(request)
    if not read:
        return s
    data = b""
    try:
        while b"\r\n\r\n" not in data:
            chunk = s.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    s.close()
    return data


def handshake(origin, path="/%s/socket" % TOKEN):
    return ("GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\nOrigin: %s\r\n\r\n"
            % (path, HOST, PORT, origin)).encode()


own_origin = "http://%s:%d" % (HOST, PORT)
check("the page with the token", status_of("/%s/" % TOKEN) == 200)
check("a wrong token gets 403", status_of("/%s/" % ("0" * 32)) == 403)
check("no token gets 403", status_of("/") == 403)
check("a token's prefix gets 403", status_of("/%s/" % TOKEN[:-1]) == 403)
check("the WebSocket from the page's own origin", raw(handshake(own_origin)).startswith(b"HTTP/1.1 101"))
check("a WebSocket from another origin is refused", raw(handshake("http://evil.example")).startswith(b"HTTP/1.1 403"))
check("a WebSocket without the token is refused", raw(handshake(own_origin, "/socket")).startswith(b"HTTP/1.1 403"))
check("a huge header gets 413", raw(("GET /%s/ HTTP/1.1\r\nX: %s\r\n\r\n" % (TOKEN, "a" * 100000)).encode()).startswith(b"HTTP/1.1 413"))
check("a body gets 413", raw(("POST /%s/ HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n" % TOKEN).encode()).startswith(b"HTTP/1.1 413"))
check("garbage gets 400", raw(b"\x00\xff garbage \x01\r\n\r\n").startswith(b"HTTP/1.1 400"))

# A WebSocket message of 100 MB is refused (the connection closed), as are
# 10,000 messages at once and binary garbage; the server and device go on.
def frame(payload, opcode=0x1):
    head = bytes([0x80 | opcode])
    n = len(payload)
    head += bytes([0x80 | n]) if n < 126 else bytes([0x80 | 126]) + n.to_bytes(2, "big") if n < 65536 else bytes([0x80 | 127]) + n.to_bytes(8, "big")
    return head + b"\0\0\0\0" + payload  # a zero mask leaves the payload as it is

big = raw(handshake(own_origin), read=False)
big.recv(4096)
big.sendall(bytes([0x81, 0xFF]) + (100 * 1024 * 1024).to_bytes(8, "big") + b"\0\0\0\0" + b"x" * 65536)
def closed(s):
    try:
        s.settimeout(5)
        while True:
            d = s.recv(65536)
            if not d or d[:1] == b"\x88":
                return True
    except OSError:
        return True
check("a 100 MB message closes its socket", closed(big))
flood = raw(handshake(own_origin), read=False)
flood.recv(4096)
flood.sendall(b"".join(frame(json.dumps({"type": "finger", "phase": "move", "x": i % 300, "y": 300}).encode()) for i in range(10000)))
flood.sendall(frame(os.urandom(5000), 0x2) + os.urandom(3000))
many = [socket.create_connection((HOST, PORT), timeout=5) for _ in range(200)]
for s in many:
    s.close()
flood.close()
check("the server serves on after all that", eventually(lambda: status_of("/%s/" % TOKEN) == 200))
check("the device goes on", sim("status").get("running") is True)

sys.exit(1 if failed else 0)
