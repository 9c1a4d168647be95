#!/usr/bin/env python3
# A picture of the device window as the X screen shows it, taken once the
# window shows WHO in front (an app's bundle, or "home" for the home screen)
# and its pixels hold still, so that it shows the step just driven.
# Usage: window_picture.py SIMCTL DIR WHO OUT.png; says on standard error,
# without failing, what it could not wait for.
import json, os, re, shutil, subprocess, sys, time

simctl, folder, who, out = sys.argv[1:]
support = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "support")


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout


def until(what, test, seconds):
    deadline = time.monotonic() + seconds
    while not test():
        if time.monotonic() > deadline:
            print("  (the window did not %s within %g s; the picture shows it as it was)" % (what, seconds),
                  file=sys.stderr)
            return
        time.sleep(0.1)


if not shutil.which("xdotool"):
    sys.exit("  (xdotool is not installed (scripts/install-deps.sh): no window picture)")
window = run("xdotool", "search", "--onlyvisible", "--name",
             "^%s - Calmora device$" % re.escape(os.path.basename(os.path.normpath(folder)))).split()
if not window:
    sys.exit("  (no device window on %s: no window picture)" % os.environ.get("DISPLAY", "no display"))
geometry = dict(line.split("=", 1) for line in run("xdotool", "getwindowgeometry", "--shell", window[0]).split())
x, y, w, h = (int(geometry[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
# What of the window lies on the screen.
screen_w, screen_h = map(int, run("xdotool", "getdisplaygeometry").split())
x, y, w, h = max(x, 0), max(y, 0), min(x + w, screen_w) - max(x, 0), min(y + h, screen_h) - max(y, 0)
if w <= 0 or h <= 0:
    sys.exit("  (the device window is off the screen: no window picture)")


def pid():
    if who == "home":
        return open(os.path.join(folder, "run", "springboard.pid")).read().strip()
    apps = json.loads(run(simctl, "apps", folder) or "{}").get("apps", [])
    return next((str(a["pid"]) for a in apps if a["bundle"] == who and a["state"] == "running"), None)


def shown():
    return str(json.loads(run(simctl, "apps", folder) or "{}").get("shown")) == pid()


until("show %s in front" % who, shown, 5)
grab = os.path.join(os.path.dirname(os.path.abspath(out)), ".window.xwd")
last = None


def still():
    # Two grabs in a row alike: the window's latest frame has arrived.
    global last
    with open(grab, "wb") as f:
        taken = subprocess.run([sys.executable, os.path.join(support, "x_grab.py")], stdout=f, stderr=subprocess.PIPE,
                               text=True)
    if taken.returncode != 0:
        os.remove(grab)
        sys.exit("  (no window picture: %s)" % taken.stderr.strip())
    now = run(sys.executable, os.path.join(support, "xwd_pixel.py"), grab, "--png", out, str(x), str(y), str(w), str(h))
    now = open(out, "rb").read() if now else None
    same, last = now is not None and now == last, now
    return same


until("hold still", still, 3)
os.remove(grab)
