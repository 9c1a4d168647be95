#!/usr/bin/env bash
# Every screen of the log viewer and of the pane read in dark appearance, as
# a person reads them: at points of each screenshot, what is to be read keeps
# 4.5:1 against what it sits on (bar items, tab images and titles, segment
# titles, "Open in App", the lock's line), a switch that is on stands apart
# from one that is off, and the hours fields are no white boxes. The device
# is booted under a Swedish LANG, and the contact list still sorts by the
# device's own locale (en_US). With SCREENSHOT_DIR, the dark screens are kept
# there as *-dark.png beside the README's light ones.
# Usage: dark_e2e.sh BIN_DIR [SCREENSHOT_DIR]   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
SHOTS=${2:-}
source "$(dirname "$0")/../support/e2e_prelude.sh"
PIXEL=$(dirname "$0")/../support/png_pixel.py
VIEWER=com.veltrane.calmora
SETTINGS=com.apple.Preferences
shot() {  # shot NAME: the front app's screen and tree in WORK/NAME.{png,json}, kept in SCREENSHOT_DIR when given
  ui screenshot "$WORK/$1.png" >/dev/null && ui tree >"$WORK/$1.json" &&
    { [ -z "$SHOTS" ] || cp "$WORK/$1.png" "$SHOTS/$1-dark.png"; }
}
# measure SHOT SPEC...: each SPEC is "WHAT|NODE|BACKGROUND", python over the
# tree's shown nodes `nodes`: NODE picks the node whose box is read, BACKGROUND
# gives the point (in points) of what it sits on. Prints, per spec, WHAT and
# the best contrast of a pixel of the box against that point, one decimal.
measure() {
  local name=$1; shift
  python3 - "$PIXEL" "$WORK/$name" "$@" <<'PY'
import json, subprocess, sys
pixel, base, specs = sys.argv[1], sys.argv[2], sys.argv[3:]
def walk(n):
    if not n.get("visible", True): return
    yield n
    for c in n.get("children", []): yield from walk(c)
nodes = list(walk(json.load(open(base + ".json"))["tree"]))
def lum(c):
    c = [v / 255 for v in c]
    c = [v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]
def ratio(a, b):
    la, lb = sorted((lum(a), lum(b)))
    return (lb + 0.05) / (la + 0.05)
for spec in specs:
    what, node, background = spec.split("|")
    x, y, w, h = eval(node, {"nodes": nodes})
    bx, by = eval(background, {"nodes": nodes, "x": x, "y": y, "w": w, "h": h})
    # One pixel per point of the box: strokes at scale 2 are wider than that.
    points = [(2 * bx, 2 * by)] + [(2 * (x + i), 2 * (y + j)) for i in range(int(w)) for j in range(int(h))]
    out = subprocess.run([sys.executable, pixel, base + ".png", *(str(round(v)) for p in points for v in p)],
                         capture_output=True, check=True)
    px = json.loads(out.stdout)["pixels"]
    print(what, round(max(ratio(px[0], p) for p in px[1:]), 1))
PY
}
# readable SHOT SPEC...: every spec measures 4.5:1 or more.
readable() {
  local out
  out=$(measure "$@") || return 1
  awk '$NF < 4.5 { print "  " $0 " is below 4.5"; bad = 1 } END { exit bad }' <<<"$out"
}
first() { echo "[n['frame'] for n in nodes if $1][0]"; }
BAR='(n for n in nodes if n["class"] == "UINavigationBar")'
ON_BAR="[next($BAR)['frame'][0] + 2, next($BAR)['frame'][1] + 2]"
TABS='(n for n in nodes if n["class"] == "UITabBar")'
ON_TABS="[2, next($TABS)['frame'][1] + 45]"

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Zetterberg;Zoe;;;" UID:D-1 "TEL:+1 555 0101" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Öberg;Örjan;;;" UID:D-2 "TEL:+1 555 0102" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Olsson;Olle;;;" UID:D-3 "TEL:+1 555 0103" END:VCARD >"$BOOK"
python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": True, "ignoretime": False, "methodspecifier": 0,
               "D-2": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
env LC_ALL=sv_SE.UTF-8 LANG=sv_SE.UTF-8 timeout 30 "$SIMCTL" boot "$DEV" >/dev/null || { echo "FAILED: boot"; exit 1; }
sim appearance dark >/dev/null
sim appear >/dev/null
sim call --name "Örjan Öberg" --contact "D-2:ABPerson" >/dev/null

# The viewer: the Calls list, a call's detail, the empty Notifications list.
APP=$VIEWER
sim launch "$APP" >/dev/null && ui wait "Calmora - Calls" >/dev/null || { echo "FAILED: viewer"; exit 1; }
ui wait "Phone Call from Örjan Öberg" >/dev/null
shot calls-list
check "the viewer's bar and tabs read in dark" readable calls-list \
  "eye|$(first 'n["class"] == "UIBarButtonItem" and "image" in n')|$ON_BAR" \
  "Trash|$(first 'n.get("title") == "Trash"')|$ON_BAR" \
  "selected-tab|$(first 'n["class"] == "UITabBarButton" and n["value"]')|$ON_TABS" \
  "other-tab|$(first 'n["class"] == "UITabBarButton" and not n["value"]')|$ON_TABS"
ui tap --row 0 >/dev/null && ui wait "Open in App" >/dev/null
shot call-detail
check "the detail's back button and Open in App read in dark" readable call-detail \
  "back|$(first 'n.get("identifier") == "BackButton"')|$ON_BAR" \
  "open|$(first 'n.get("title") == "Open in App"')|[x + 3, y + 3]"
ui back >/dev/null
ui tap Notifications >/dev/null && ui wait "No blocked notifications" >/dev/null
shot notifications-empty
check "the empty list's line reads in dark" readable notifications-empty \
  "empty|[[x + w / 2 - 90, y + h / 2 - 12, 180, 24] for x, y, w, h in [$(first 'n.get("text") == "No blocked notifications"')]][0]|[x + 2, y + 2]"
sim terminate "$APP" >/dev/null

# The lock, on a device that cannot evaluate the policy: its line and Unlock.
update "$PREFS/com.veltrane.calmoprefs.plist" 'isTouch=True'
sim launch "$APP" >/dev/null && ui wait "Unlock" >/dev/null
shot lock
check "the lock's line and Unlock read in dark" readable lock \
  "line|$(first 'n.get("text") == "The log is locked."')|[2, 2]" "unlock|$(first 'n.get("title") == "Unlock"')|[2, 2]"
sim terminate "$APP" >/dev/null

# The pane: root page, contact list, a contact's page, Block Apps.
APP=$SETTINGS
sim launch "$APP" >/dev/null && ui wait Calmora >/dev/null && ui tap Calmora >/dev/null && ui wait Enabled >/dev/null ||
  { echo "FAILED: pane"; exit 1; }
shot pane-root
SEGMENTS='(n for n in nodes if n["class"] == "UISegmentedControl")'
SWITCH() { echo "[n['frame'] for n in nodes if n['class'] == 'UISwitch' and n['value'] == $1][0]"; }
check "the root page's bar items and segment titles read in dark" readable pane-root \
  "back|$(first 'n.get("identifier") == "BackButton"')|$ON_BAR" \
  "apply|$(first 'n.get("title") == "Apply changes"')|$ON_BAR" \
  "whitelist|[[s['frame'][0] + s['frame'][2] / 2 + 2, s['frame'][1] + 2, s['frame'][2] / 2 - 4, s['frame'][3] - 4] for s in [next($SEGMENTS)]][0]|[x + 1, y + 1]" \
  "blocklist|[[s['frame'][0] + 2, s['frame'][1] + 2, s['frame'][2] / 2 - 4, s['frame'][3] - 4] for s in [next($SEGMENTS)]][0]|[x + 1, y + 1]"
# A switch's track, just inside its left end, against the cell beside it: an
# "on" track stands out (3:1, as for any control), an "off" one stays faint.
# (The knob lies at the other end.)
track() { measure pane-root "$1|[[f[0] + $3, f[1] + 14, 2, 2] for f in [$(SWITCH "$2")]][0]|[($(SWITCH "$2"))[0] - 8, y]" |
  awk '{ print $2 }'; }
check "a switch that is on looks unlike one that is off" python3 -c 'import sys; on, off = map(float, sys.argv[1:]); sys.exit(not (on >= 3 and off < 2))' \
  "$(track on True 3)" "$(track off False 45)"

ui tap Contacts >/dev/null && ui wait "Olle Olsson" >/dev/null
shot pane-contacts
check "the contact list sorts by the device's locale, not the host's LANG" is \
  "$(q '[r.get("text") for r in rows]')" "['Olle Olsson', 'Örjan Öberg', 'Zoe Zetterberg']"
check "the contact list's back button reads in dark" readable pane-contacts \
  "back|$(first 'n.get("identifier") == "BackButton"')|$ON_BAR"

ui tap "Örjan Öberg" >/dev/null && ui wait Blocked >/dev/null
shot pane-contact
FIELD="$(first 'n["class"] == "UITextField" and n.get("text")')"
check "the contact page's Save and hours read in dark" readable pane-contact \
  "save|$(first 'n.get("title") == "Save"')|$ON_BAR" "hours|$FIELD|[x + w - 2, y + 2]"
# Its right end holds no text: there the field's own background shows, near the bar's dark.
check "an hours field is no white box in dark" is \
  "$(measure pane-contact "field|[[f[0] + f[2] - 4, f[1] + f[3] - 4, 2, 2] for f in [$FIELD]][0]|[0, 0]" | awk '{ print ($2 < 2) }')" 1
ui tap "Block Apps" >/dev/null && ui wait Calls >/dev/null
shot pane-apps
check "Block Apps' back button reads in dark" readable pane-apps \
  "back|$(first 'n.get("identifier") == "BackButton"')|$ON_BAR"

echo "dark e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
