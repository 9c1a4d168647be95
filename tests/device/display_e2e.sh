#!/usr/bin/env bash
# The device's display, headless: the apps show their windows on it and the
# one launched last is in front; a launch of an app already running brings
# it back; files planted at its names are not followed; killed, it is named
# by simctl open and a boot brings it back with the device's files as they were.
# Usage: display_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"

# Links planted where the display makes its files, pointing outside.
mkdir -p "$DEV/run" && chmod 700 "$DEV/run"
echo keep >"$WORK/target"
for name in display.frames display.wayland display.wayland.lock; do ln -s "$WORK/target" "$DEV/run/$name"; done
sim boot >/dev/null || fail "boot"
check "a planted link's target is left alone" is "$(cat "$WORK/target")" keep
check "the display's socket is its own" test -S "$DEV/run/display.wayland" -a ! -L "$DEV/run/display.frames"
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
sim terminate "$APP" >/dev/null
check "an app that ends leaves the front to the one behind" eventually front_is "$viewer"

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
