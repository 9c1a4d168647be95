#!/usr/bin/env bash
# What a person switches and types in the pane is stored, or they are told:
# a change to an empty settings file is written; going from one empty hours
# field to the next keeps Settings running with the second field in editing;
# an untouched empty field is no entry on "Save", an emptied one takes the
# day's window away; a write that fails shows "Setting not saved." and the
# switch as the file holds it. Rows below the fold are reached by their
# text alone (tap and toggle scroll the table to them); the large title
# shrinks into the bar as the rows scroll under it.
# Usage: pane_edits_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -u
SIMCTL=$1
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
prefs=$PREFS/com.veltrane.calmoprefs.plist
setting() { python3 -c "import plistlib; d = plistlib.load(open('$prefs', 'rb')); print($1)"; }
running() { is "$(sim apps | json '[a["state"] for a in d["apps"] if a["bundle"] == "'$APP'"][-1:]')" "['running']"; }
alert() { q "[n.get('text') for n in nodes if n.get('title') == '$1']"; }

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD >"$BOOK"
: >"$prefs"
sim boot >/dev/null || fail "boot"
{ sim launch "$APP" && ui wait Calmora && ui tap Calmora && ui wait Enabled; } >/dev/null || fail "open the pane"
bar() { q '[(n["largeTitle"], n["frame"][3]) for n in nodes if n["class"] == "UINavigationBar"]'; }
check "the page opens with its large title under the bar" is "$(bar)" "[(True, 116)]"
quietly ui scroll --row 2 --section 4
check "scrolled down, the large title has shrunk into the bar" is "$(bar)" "[(False, 64)]"
quietly ui scroll --row 0 --section 0
check "back at the top, the large title is back" is "$(bar)" "[(True, 116)]"
quietly ui toggle Enabled
check "a change to an empty settings file is stored" is "$(setting "d.get('isTweakEnabled')" 2>&1)" "True"

# "Contacts" lies below the fold of the root page.
{ ui tap Contacts && ui wait "Jane Roe" && ui tap "Jane Roe" && ui wait Blocked; } >/dev/null || fail "Jane's page"
quietly ui scroll --row 3 --section 1 && quietly ui tap "Tue hours"
quietly ui scroll --row 5 --section 1 && quietly ui tap "Wed hours"
running >/dev/null || fail "Settings ended going from an empty hours field to the next"
check "the second field is the one in editing" is "$(q '[n.get("identifier") for n in nodes if n.get("focused")]')" \
  "['weekdayHour4']"
quietly ui tap Save && quietly ui wait "Setting saved." || fail "Save"
check "untouched empty fields are no entry: Save names nothing" is "$(alert 'Window not saved.')" "[]"
quietly ui tap Ok
check "nor is anything stored for them" is "$(setting "sorted(d.get('P-1', {}))")" "[]"

quietly ui tap "Thu hours" && quietly ui type 9:00-17:00 && quietly ui tap Save && quietly ui tap Ok
check "a typed window is stored" is "$(setting "d['P-1'].get('weekdayHour5')")" "09:00-17:00"
quietly ui tap "Thu hours" && quietly ui type $'\b\b\b\b\b\b\b\b\b\b\b' && quietly ui tap Save
check "emptying a field says nothing against it" is "$(alert 'Window not saved.')" "[]"
quietly ui tap Ok
check "and takes the day's window away" is "$(setting "sorted(d['P-1'])")" "[]"

# A write that fails for good: the lock its writers take cannot be opened.
rm -f "$prefs.lock" && mkdir "$prefs.lock"
quietly ui toggle Blocked
check "a write that fails says so, and why" is \
  "$(q '[("Setting not saved." == n.get("title"), "lock" in n.get("text", "")) for n in nodes if n.get("title") == "Setting not saved."]')" \
  "[(True, True)]"
quietly ui tap Ok
check "the switch shows what the file holds" is "$(q '[n["value"] for n in nodes if n.get("identifier") == "isBlocked"]')" \
  "[False]"
rmdir "$prefs.lock"

check "a text that no row has is still not found" is "$(ui tap "No such row" | json 'd.get("code")')" "notFound"
check "Settings ran throughout" running

echo "pane edits e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
