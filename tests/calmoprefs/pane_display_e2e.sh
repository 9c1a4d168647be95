#!/usr/bin/env bash
# The pane as a person sees it, on a device with Bob Brandt, Jane Roe
# (blocked) and Sam Lee: the header picture whole in its row, the contact
# list's large title whole, and back buttons that name the page they go back
# to and go there. With SCREENSHOT_DIR, the root page, the contact list and
# Jane Roe's page are kept there as pane-root.png, pane-contacts.png and
# pane-contact.png (the README's).
# Usage: pane_display_e2e.sh BIN_DIR [SCREENSHOT_DIR]   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
SHOTS=${2:-}
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
PIXEL=$(dirname "$0")/../support/png_pixel.py
back() { q '[n.get("title") for n in nodes if n.get("identifier") == "BackButton"]'; }
shot() {  # shot NAME: the screen in WORK/NAME.png, and in SCREENSHOT_DIR when given
  ui screenshot "$WORK/$1.png" >/dev/null && { [ -z "$SHOTS" ] || cp "$WORK/$1.png" "$SHOTS/$1.png"; }
}
# The header's picture lies inside its row, at its own proportions; on screen
# the table's background shows above it and the picture's own colours just
# inside its top and bottom edges.
header_whole() {
  shot pane-root && ui tree >"$WORK/root.json" || return 1
  python3 - "$PIXEL" "$WORK" "$DEV/Library/PreferenceBundles/CalmoPrefs.bundle/header.png" <<'PY'
import json, subprocess, sys
pixel, work, picture = sys.argv[1:]
def walk(n):
    yield n
    for c in n.get("children", []): yield from walk(c)
header = next(n for n in walk(json.load(open(work + "/root.json"))["tree"]) if n.get("identifier") == "CMRRootHeaderView")
(hx, hy, hw, hh), (ix, iy, iw, ih) = header["frame"], header["children"][0]["frame"]
def read(png, *points):
    out = subprocess.run([sys.executable, pixel, png, *map(str, map(round, points))], capture_output=True, check=True)
    return json.loads(out.stdout)
cx = 2 * (ix + iw / 2)  # the screenshot is at scale 2
screen = read(work + "/pane-root.png", cx, 2 * (iy - 10), cx, 2 * (iy + 3), cx, 2 * (iy + ih - 3))["pixels"]
w, h = read(picture, 0, 0)["size"]
own = read(picture, w / 2, 3 * h / ih, w / 2, h * (1 - 3 / ih))["pixels"]
near = lambda a, b: max(abs(x - y) for x, y in zip(a, b)) <= 12
whole = hy <= iy and iy + ih <= hy + hh and abs(iw / ih - w / h) < 0.05
if whole and screen[0] == [242, 242, 247] and near(screen[1], own[0]) and near(screen[2], own[1]): print("whole")
else: print("header", header["frame"], "image", [ix, iy, iw, ih], "screen", screen, "picture", own)
PY
}

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Brandt;Bob;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-2 "TEL:+1 555 0102" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Lee;Sam;;;" UID:P-3 "TEL:+1 555 0103" END:VCARD >"$BOOK"
python3 -c 'import plistlib, sys; plistlib.dump({"isTweakEnabled": True, "P-2": {"isBlocked": True}}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
sim boot >/dev/null || { echo "FAILED: boot"; exit 1; }
{ sim launch "$APP" && ui wait Calmora; } >/dev/null || { echo "FAILED: launch"; exit 1; }
check "the pane's row icon stands at the system's 29 points" is \
  "$(q '[n["frame"][2:] for n in nodes if n["class"] == "UIImageView" and n.get("image")]')" "[[29, 29]]"
{ ui tap Calmora && ui wait Enabled; } >/dev/null || { echo "FAILED: open"; exit 1; }

check "the root page goes back to Settings" is "$(back)" "['Settings']"
check "the header row shows the whole picture" is "$(header_whole)" whole

quietly ui tap Contacts && quietly ui wait "Jane Roe"
check "the contact list goes back to the root page" is "$(back)" "['Calmora']"
check "the contact list's large title shows whole, smaller" is \
  "$(q '[(n.get("truncated", False), n["fontSize"] < 34) for n in nodes if n.get("text") == "Blocked Contacts 1"]')" \
  "[(False, True)]"
shot pane-contacts

quietly ui tap "Jane Roe" && quietly ui wait Blocked
check "a contact's page goes back to the contact list" is "$(back)" "['Blocked Contacts 1']"
shot pane-contact
quietly ui scroll --row 13 --section 1
check "the schedule's note shows every line" is \
  "$(q '[n.get("truncated", False) for n in nodes if n["class"] == "UITableViewHeaderFooterView" and "HH:mm" in n["text"]]')" \
  "[False]"
quietly ui tap --id BackButton && quietly ui wait "Bob Brandt"
check "its back button shows the contact list" is "$(back)" "['Calmora']"
quietly ui tap --id BackButton && quietly ui wait Enabled
check "the list's back button shows the root page" is "$(back)" "['Settings']"

echo "pane display e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
