#!/usr/bin/env bash
# The device's display, headless: the apps show their windows on it and the
# one launched last is in front; a
# launch of an app already running brings it back; an app that crashes in
# front leaves the home screen in front, one that hangs does not stop Home;
# files planted at its names are not followed; killed, it is named by simctl
# open and a boot brings it back with the device's files as they were.
# Usage: display_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"

# Links planted where the display makes its files, pointing outside.
mkdir -p "$DEV/run" && chmod 700 "$DEV/run"
echo keep >"$WORK/target"
for name in display.wayland display.wayland.lock; do ln -s "$WORK/target" "$DEV/run/$name"; done
sim boot >/dev/null || fail "boot"
check "a planted link's target is left alone" is "$(cat "$WORK/target")" keep
check "the display's socket is its own" test -S "$DEV/run/display.wayland"
check "run/ is owner-only" is "$(stat -c %a "$DEV/run")" 700

front_is() { [[ $(sim apps | json 'd["shown"]') == "$1" ]]; }
pid_of() { sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$1'" and a["state"] == "running"][0]'; }
sim launch "$APP" >/dev/null || fail "launch Settings"
settings=$(pid_of "$APP")
check "Settings shows on the display, in front" eventually front_is "$settings"
sim launch com.veltrane.calmora >/dev/null || fail "launch the log viewer"
viewer=$(pid_of com.veltrane.calmora)
check "the app launched last is in front" eventually front_is "$viewer"
sim launch "$APP" >/dev/null
check "a launch of a running app brings it back to front" eventually front_is "$settings"
check "the app taps as before" quietly ui tap General
# The finger on the display: a drag from the left edge goes back.
general_open() { [[ $(q "any(n.get('text') == 'ABOUT' for n in nodes)") == True ]]; }
check "General is open" eventually general_open
drag 2 300 250 300 20
check "a drag from the left edge goes back" quietly ui wait Privacy --timeout 3

# A crash in front leaves the home screen in front, not the app behind; the
# rest of the device runs on.
home_pid=$(cat "$DEV/run/springboard.pid")
kill -SEGV "$settings"
check "a crash in front shows the home screen" eventually front_is "$home_pid"
check "the home screen holds itself in front" is "$(sim apps | json 'd.get("front")')" None
check "the app behind runs on" alive "$viewer"

# A hung app in front: Home still brings the home screen at once, and its
# icon brings the same process back once it runs again.
sim launch com.veltrane.calmora >/dev/null
check "the log viewer is back in front" eventually front_is "$viewer"
kill -STOP "$viewer"
check "Home answers with a hung app in front" quietly timeout 5 "$SIMCTL" home "$DEV"
check "the home screen is in front" eventually front_is "$home_pid"
kill -CONT "$viewer"
check "its icon brings the same app back" is "$(home tap --id com.veltrane.calmora | json 'd["app"]["pid"]')" "$viewer"
check "and the display shows it" eventually front_is "$viewer"
# A client that stops reading while the display has much to tell it (here
# the finger moving over it) never stops the display.
kill -STOP "$viewer"
python3 - "$DEV/run/display.sock" <<'PY' || check "the display takes the moves" false
import socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(10); s.connect(sys.argv[1])
f = s.makefile("rwb")
for i in range(20000):
    f.write(b'{"verb":"pointer","x":%d,"y":100,"phase":"move"}\n' % (10 + i % 300))
    if i % 4 == 3:
        f.flush()
        for _ in range(4): f.readline()
PY
check "the display answers with a hung client flooded" quietly timeout 5 "$SIMCTL" apps "$DEV"
check "Home answers" quietly timeout 5 "$SIMCTL" home "$DEV"
check "the home screen is in front again" eventually front_is "$home_pid"
# Disconnected, that app ends once it runs again.
kill -CONT "$viewer"
ended() { ! alive "$viewer"; }
check "the app that did not read ends" eventually ended
# Nor does the home screen ever wait for the display.
kill -STOP "$(cat "$DEV/run/display.pid")"
check "Home answers at once with the display stopped" quietly timeout 1.5 "$SIMCTL" home "$DEV"
kill -CONT "$(cat "$DEV/run/display.pid")"

# Killed, the display takes the device's windows along (its clients end, as
# on a phone whose window server ends); simctl open names it, and a boot
# brings the device back.
kill -9 "$(cat "$DEV/run/display.pid")"
out=$(DISPLAY=:0 "$SIMCTL" open "$DEV" 2>&1); status=$?
check "open without a display says so" is "$status $out" "1 simctl open: the device's display is not running (simctl boot DIR)"
sim boot >/dev/null || fail "boot after the display was killed"
check "the display is back" quietly test -S "$DEV/run/display.wayland"
check "the home screen is back" is "$(sim status | json 'd["running"]')" True
sim launch "$APP" >/dev/null
check "an app shows on the new display" eventually front_is "$(pid_of "$APP")"
check "the target is still untouched" is "$(cat "$WORK/target")" keep

echo "display_e2e: $passed passed, $failed failed"
((failed == 0))
