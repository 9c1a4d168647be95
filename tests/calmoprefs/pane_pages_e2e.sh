#!/usr/bin/env bash
# The pane's pages with what a person types and what was written by hand:
# values of another type show as the hook library reads them, footers keep
# their case, a row without a key stores nothing, a refused window is named
# on "Save" while the rest of the page is stored, a typed window survives
# going back, and "Block Apps" offers every installed app.
# Usage: pane_pages_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -u
SIMCTL=$1
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
prefs=$PREFS/com.veltrane.calmoprefs.plist
setting() { python3 -c "import plistlib; d = plistlib.load(open('$prefs', 'rb')); print($1)"; }
# The texts of the shown cells of SECTION from row FIRST on, by row.
section_texts() {
  q "[n['text'] for n in sorted((n for n in nodes if n['class'] == 'UITableViewCell' and n.get('section') == $1
      and n.get('row', -1) >= $2), key=lambda n: n['row'])]"
}

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD >"$BOOK"
python3 -c 'import plistlib, sys
plistlib.dump({"methodspecifier": "1", "sound": 1005, "xcoordinates": "50"}, open(sys.argv[1], "wb"))' "$prefs"
sim boot >/dev/null || fail "boot"
# A switch whose plist item names no key, as a pane author may leave one.
python3 -c 'import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
d["items"].insert(2, {"cell": "PSSwitchCell", "label": "Keyless"})
plistlib.dump(d, open(sys.argv[1], "wb"))' "$DEV/Library/PreferenceBundles/CalmoPrefs.bundle/Root.plist"
{ sim launch "$APP" && ui wait Calmora && ui tap Calmora && ui wait Enabled; } >/dev/null || fail "open the pane"

check "a footer keeps its case, a group header is in capitals" is \
  "$(q '[n["text"] for n in nodes if n["class"] == "UITableViewHeaderFooterView" and n["text"].lower() in ("mode", "apply changes makes these take effect.")]')" \
  "['MODE', 'Apply changes makes these take effect.']"
check "methodspecifier \"1\" shows Whitelist" is "$(q '[n["value"] for n in nodes if n.get("identifier") == "methodspecifier"]')" "[1]"
quietly ui toggle Keyless
check "a row without a key stores nothing" is "$(setting "sorted(d)")" "['methodspecifier', 'sound', 'xcoordinates']"
quietly ui scroll --row 2 --section 4
check "sound 1005 and xcoordinates \"50\" show their choices" is \
  "$(q '[n["detail"] for n in nodes if n["class"] == "UITableViewCell" and n["text"] in ("Sound", "Left edge")]')" \
  "['Alarm', '50 %']"

quietly ui tap Contacts && quietly ui wait "Jane Roe" || fail "the contact list"
quietly ui tap "Jane Roe" && quietly ui wait Blocked || fail "Jane's page"
quietly ui toggle Blocked
quietly ui tap --id weekdayHour2 && quietly ui type 25:00-26:00 && quietly ui tap Save && quietly ui wait "Window not saved."
check "a refused window is named with the form" is \
  "$(q '[("25:00-26:00" in n["text"], "HH:mm-HH:mm" in n["text"]) for n in nodes if n.get("title") == "Window not saved."]')" \
  "[(True, True)]"
check "the refused window is not stored, the rest of the page is" is \
  "$(setting "sorted(d['P-1'].items())")" "[('isBlocked', True)]"
quietly ui tap Ok

# Typed, then left by the back swipe and by the back button.
quietly ui tap --id weekdayHour3 && quietly ui type 9:00-12:00 && quietly ui back && quietly ui wait "Jane Roe"
quietly ui tap "Jane Roe" && quietly ui wait Blocked
quietly ui tap --id weekdayHour4 && quietly ui type 13:00-14:00 && quietly ui tap --id BackButton && quietly ui wait "Jane Roe"
check "a window typed before going back is stored" is \
  "$(setting "d['P-1'].get('weekdayHour3'), d['P-1'].get('weekdayHour4')")" "09:00-12:00 13:00-14:00"

quietly ui tap "Jane Roe" && quietly ui wait Blocked && quietly ui tap "Block Apps" && quietly ui wait Notifications
quietly ui scroll --row 11 --section 1
check "installed apps follow the plist's messaging apps, by name" is "$(section_texts 1 5)" \
  "['Discord', 'Calendar', 'Calmora', 'Contacts', 'FaceTime', 'Mail', 'Phone', 'Settings']"
quietly ui toggle Mail
check "an installed app's switch is stored under its identifier" is \
  "$(setting "d['P-1'].get('com.apple.mobilemail')")" "True"

echo "pane pages e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
