#!/usr/bin/env bash
# The status bar over the app in front, as the display shows it: the app's
# own top behind the time, the time dark over a light app and light over a
# dark one, light over the home screen's wallpaper; the marker at its place
# over an app once a call was blocked; a tap on a banner over an app opens
# the banner's app, and a drag down from the top edge over an app shows the
# notification list.
# Usage: status_bar_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
HERE=$(dirname "$0")
on_exit() { [[ -z ${KEEP_SHOTS:-} ]] || cp "$WORK"/*.png "$KEEP_SHOTS"/; }

# Blocking on, one contact blocked all week.
python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": True, "D-1": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)},
              open(sys.argv[1], "wb"))' "$PREFS/com.veltrane.calmoprefs.plist"
sim boot >/dev/null || fail "boot"
shown() { sim apps | json 'd["shown"]'; }
now_is() { is "$($1)" "$2"; }
sim launch "$APP" >/dev/null || fail "launch Settings"
settings=$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')
check "Settings is in front" eventually now_is shown "$settings"

# The time's row of points (its digits lie between), and a point of the
# strip beside it, as the display shows them and as the app alone draws.
clock_points() { for x in $(seq 12 1 48); do echo "$x 10"; done; }
shown_at() { python3 "$HERE/../support/frame_pixel.py" "$DEV" "$@"; }
# text ORDER BACKGROUND_TEST: the time's darkest (ORDER min) or lightest
# (max) point, against the strip at (200, 10) that BACKGROUND_TEST holds for.
text_is() {
  shown_at $(clock_points) 200 10 | python3 -c '
import json, sys
p = json.load(sys.stdin)["pixels"]
lum = lambda c: 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]
text, strip = [lum(c) for c in p[:-1]], p[-1]
order, background = sys.argv[1], eval("lambda c: " + sys.argv[2])
ok = background(strip) and (min(text) < 90 if order == "dark" else max(text) > 170)
sys.exit(0 if ok else "text %s, strip %s" % ([round(t) for t in text], strip))' "$@"
}
# The app's own pixel at (200, 10), from its window alone.
own_top() {
  ui screenshot "$WORK/own.png" >/dev/null || return 1
  local scale; scale=$(python3 "$HERE/../support/png_pixel.py" "$WORK/own.png" 0 0 | json 'd["size"][0] // 375')
  python3 "$HERE/../support/png_pixel.py" "$WORK/own.png" $((200 * scale)) $((10 * scale)) | json 'd["pixels"][0]'
}
light_top=$(own_top)
check "Settings' own top is light" python3 -c "import sys; sys.exit(min($light_top) < 200)"
check "over a light app: the app's own top behind dark text" \
  eventually text_is dark "all(abs(a - b) < 8 for a, b in zip(c, $light_top))"
sim screenshot "$WORK/light.png" >/dev/null || fail "screenshot"
# The home screen's own picture, taken while the app is in front, shows its
# status bar as over its wallpaper: light text, not the app's dark.
home_clock_light() {
  python3 "$HERE/../support/png_pixel.py" "$WORK/light.png" $(for x in $(seq 24 2 96); do echo "$x 20"; done) |
    json 'max(0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2] for c in d["pixels"]) > 170 or exit(1)'
}
check "the home screen's picture keeps its light time while an app is in front" home_clock_light

sim appearance dark >/dev/null || fail "dark appearance"
dark_app() { python3 -c "import sys; sys.exit(max($(own_top)) > 60)"; }
check "Settings turns dark" eventually dark_app
dark_top=$(own_top)
check "over a dark app: the app's own top behind light text" \
  eventually text_is light "all(abs(a - b) < 8 for a, b in zip(c, $dark_top))"
sim screenshot "$WORK/dark.png" >/dev/null || fail "screenshot"

# The marker, red, at its place over the app once a call was blocked; the
# app's own page there before.
red() { json 'abs(d["pixels"][0][0] - 0xE2) < 12 and d["pixels"][0][1] < 70 and d["pixels"][0][2] < 40'; }
marker_shown() { [[ $(shown_at 361 638 | red) == True ]]; }
check "before a blocked call the app shows at the marker's point" is "$(shown_at 361 638 | red)" False
sim call --name "Zoe Zetterberg" --contact "D-1:ABPerson" >/dev/null || fail "call"
check "the marker shows over the app after a blocked call" eventually marker_shown
check "the app stays in front" is "$(shown)" "$settings"

# Over the home screen the time is light on the wallpaper, whatever the appearance.
sim appearance light >/dev/null || fail "light appearance"
sim home >/dev/null
home_pid=$(cat "$DEV/run/springboard.pid")
check "the home screen is in front" eventually now_is shown "$home_pid"
check "over the home screen: light text on the wallpaper's blue" eventually text_is light "c[2] > c[0] + 40"

# The finger over an app, through the display: the banner and the top edge
# are the home screen's.
sim launch "$APP" >/dev/null
check "Settings is in front again" eventually now_is shown "$settings"
sim launch com.veltrane.calmora >/dev/null || fail "launch the log viewer"
viewer=$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "com.veltrane.calmora"][0]')
check "the log viewer is in front" eventually now_is shown "$viewer"
sim screenshot "$WORK/viewer.png" >/dev/null || fail "screenshot"
sim bulletin --section "$APP" --title "Update ready" --message "tap to see" >/dev/null
drag 187 50 187 50
check "a tap on the banner over an app opens the banner's app" eventually now_is shown "$settings"
drag 180 8 180 300
check "a drag down from the top edge over an app shows the list" eventually now_is shown "$home_pid"
list_shown() { home_q 'any(n["class"] == "SBNotificationListView" for n in nodes)'; }
check "the list is the home screen's" eventually now_is list_shown True
echo "status_bar_e2e: $passed passed, $failed failed"
((failed == 0))
