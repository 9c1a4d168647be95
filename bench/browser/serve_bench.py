#!/usr/bin/python3
# The device's page in headless Chromium, on a device of its own (booted with
# BIN/simctl, shut down at the end); one run, its figures printed:
#   click to frame  a click on the canvas (performance.now() in the page's
#                   pointerdown) to the next frame drawn, 60 clicks that open
#                   and close Settings' General page: median and p95
#   drag            2 s of strokes up the log viewer's Calls list of 10,000
#                   records, at 1x and at 2x: distinct frames a second drawn
#                   while dragging, and the mean bytes a frame
#   idle            30 s of a still screen: frames, bytes a second on the
#                   socket and the server's share of a core
# Usage: serve_bench.py BIN_DIR
import json, os, plistlib, shutil, statistics, subprocess, sys, tempfile, time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

BIN = sys.argv[1]
work = tempfile.mkdtemp(prefix="calmora-serve-bench.")
dev = os.path.join(work, "device")
serve = driver = None


def sim(*args):
    out = subprocess.run([os.path.join(BIN, "simctl"), args[0], dev, *args[1:]], capture_output=True, text=True, timeout=60)
    return json.loads(out.stdout) if out.stdout.strip() else {}


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


try:
    sim("boot")
    serve = subprocess.Popen([os.path.join(BIN, "simctl"), "serve", dev], stdout=subprocess.PIPE, text=True)
    url = serve.stdout.readline().strip()
    options = webdriver.ChromeOptions()
    for a in ("--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
              "--disable-component-update", "--disable-sync", "--window-size=1000,1700",
              "--user-data-dir=" + os.path.join(work, "profile")):
        options.add_argument(a)
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    driver.get(url)
    while not driver.execute_script("return calmora.frames"):
        time.sleep(0.1)

    def zoom(value, width):
        driver.execute_script("const z = document.getElementById('zoom'); z.value = arguments[0];"
                              "z.dispatchEvent(new Event('change'));", value)
        press(10, 10, "mousePressed")  # a frame at the new scale
        press(10, 10, "mouseReleased")
        while driver.execute_script("return document.getElementById('canvas').width") != width:
            time.sleep(0.1)

    def press(x, y, kind):
        px, py = driver.execute_script("""
            const r = document.getElementById('canvas').getBoundingClientRect(), z = r.width / calmora.points.width;
            return [r.left + arguments[0] * z, r.top + arguments[1] * z];""", x, y)
        driver.execute_cdp_cmd("Input.dispatchMouseEvent", {"type": kind, "x": px, "y": py, "button": "left", "clickCount": 1})

    def click_to_frame(x, y):
        # The click, then the page's own clock from its input to the next frame drawn.
        press(x, y, "mousePressed")
        press(x, y, "mouseReleased")
        return driver.execute_async_script("""
            const done = arguments[0], start = performance.now() + 2000;
            (function wait() {
              if (calmora.lastFrameAt > calmora.inputAt) return done(calmora.lastFrameAt - calmora.inputAt);
              if (performance.now() > start) return done(null);
              requestAnimationFrame(wait);
            })();""")

    sim("launch", "com.apple.Preferences")
    time.sleep(1)
    zoom("1", 375)
    tree = sim("ui", "com.apple.Preferences", "tree")["tree"]

    def walk(n):
        yield n
        for c in n.get("children", []):
            yield from walk(c)
    general = next(n for n in walk(tree) if n.get("text") == "General")["frame"]
    delays = []
    for i in range(60):
        # Open General, then back by the navigation bar's back button.
        at = (general[0] + 40, general[1] + general[3] / 2) if i % 2 == 0 else (30, 42)
        d = click_to_frame(*at)
        if d is not None:
            delays.append(d)
        time.sleep(0.25)
    delays.sort()
    print("click to frame drawn: median %.1f ms, p95 %.1f ms (%d of 60 clicks drew a frame)" %
          (statistics.median(delays), delays[int(len(delays) * 0.95) - 1], len(delays)))

    # The Calls list of 10,000 records, newest first, as the hook library logs them.
    log = os.path.join(dev, "var/mobile/Library/Preferences/com.veltrane.calmoraBlockedCalls.plist")
    plistlib.dump({str(i): {"Date": "10:30:00 07-12-2026", "isRead": i % 3 == 0, "Data": "Call from Contact %d" % i,
                            "appBID": "com.apple.mobilephone", "iconData": "", "From": "Contact %d" % i,
                            "appName": "com.apple.mobilephone"} for i in range(10000)}, open(log, "wb"))
    sim("launch", "com.veltrane.calmora")
    sim("ui", "com.veltrane.calmora", "wait", "Call from Contact 9999", "--timeout", "30")

    def drag():
        # The page's point of each move worked out once: each move is then one
        # round trip to the browser, and more of them reach it a second.
        left, top, z = driver.execute_script("""
            const r = document.getElementById('canvas').getBoundingClientRect();
            return [r.left, r.top, r.width / calmora.points.width];""")
        move = lambda kind, y: driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
            "type": kind, "x": left + 187 * z, "y": top + y * z, "button": "left", "clickCount": 1})
        frames0, bytes0 = driver.execute_script("return [calmora.frames, calmora.bytes]")
        start = time.time()
        moves = 0
        while time.time() - start < 2:
            move("mousePressed", 560)
            for y in range(550, 140, -10):
                move("mouseMoved", y)
                moves += 1
            move("mouseReleased", 140)
        frames1, bytes1 = driver.execute_script("return [calmora.frames, calmora.bytes]")
        elapsed = time.time() - start
        scale = driver.execute_script("return document.getElementById('canvas').width / calmora.points.width")
        print("drag at %dx: %.0f frames a second drawn, %.1f KB a frame (mean), %d finger moves a second sent" %
              (scale, (frames1 - frames0) / elapsed, (bytes1 - bytes0) / max(1, frames1 - frames0) / 1024, moves / elapsed))
        time.sleep(1)

    drag()
    # At 200% the page asks for two pixels a point.
    zoom("2", 750)
    drag()

    # A still screen changes once a minute (the clock): 30 s of it.
    time.sleep(1)
    pid = int(open(os.path.join(dev, "run", "device-serve.pid")).read())
    (frames0, bytes0), cpu0, t0 = driver.execute_script("return [calmora.frames, calmora.bytes]"), cpu_seconds(pid), time.time()
    time.sleep(30)
    (frames1, bytes1), cpu1, t1 = driver.execute_script("return [calmora.frames, calmora.bytes]"), cpu_seconds(pid), time.time()
    print("idle: %d frames in 30 s, %.0f bytes a second, server %.2f%% of a core" %
          (frames1 - frames0, (bytes1 - bytes0) / (t1 - t0), 100 * (cpu1 - cpu0) / (t1 - t0)))
finally:
    if driver:
        driver.quit()
    if serve:
        serve.terminate()
        serve.wait(10)
    sim("shutdown")
    shutil.rmtree(work, ignore_errors=True)
