#!/usr/bin/env bash
# The opt-in call rules switched through the pane's root page, as a person
# would, with calls from simctl: an unknown caller ended with "Block unknown
# callers" on and handed on with it off, an emergency number always handed
# on, and with "Let repeat calls through" on the second call of a caller
# handed on; a contact's page says which window rule is in force.
# Usage: opt_in_rules_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
prefs=$PREFS/com.veltrane.calmoprefs.plist
setting() { python3 -c "import plistlib; print(plistlib.load(open('$prefs', 'rb')).get('$1'))"; }
open_pane() {
  sim launch "$APP" >/dev/null || fail "launch Settings"
  ui wait Calmora && ui tap Calmora && ui wait Enabled || fail "the root page did not show"
}
switch() {  # switch LABEL KEY EXPECTED
  ui toggle "$1" || fail "toggle $1"
  for _ in $(seq 50); do [[ $(setting "$2") == "$3" ]] && return 0; sleep 0.1; done
  fail "$2 is $(setting "$2") after toggling $1"
}
respring() {
  ui tap "Apply changes" && ui wait "Respring?" || fail "no respring question"
  respring_by Yes || fail "no new home screen after the respring"
}
handed_on() { sim call --name "$1" | json 'str(d["handedOn"]).lower()'; }

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD > "$BOOK"
sim boot >/dev/null || fail "boot"
open_pane
ui toggle Enabled || fail "toggle Enabled"
switch "Block unknown callers" blockUnknown True
respring

check "an unknown caller is ended" is "$(handed_on "+1 555 0100")" false
check "a known contact is handed on" is "$(sim call --name "Jane Roe" --contact P-1:ABPerson | json 'str(d["handedOn"]).lower()')" true
check "an emergency number is handed on" is "$(handed_on 112)" true
check "the unknown caller is logged" grep -q "+1 555 0100" <(sim logs calls)
check "the emergency call is not logged" bash -c "! '$SIMCTL' logs '$DEV' calls | grep -q 'Call from 112'"

open_pane
switch "Let repeat calls through" repeatCallers True
respring
start=$(date +%s%N)
check "the first call is ended" is "$(handed_on "+1 555 0177")" false
past_second "$start" || fail "the clock did not move"
check "the second call within three minutes is handed on" is "$(handed_on "+1 555 0177")" true

open_pane
switch "Block unknown callers" blockUnknown False
respring
check "with the switch off an unknown caller is handed on" is "$(handed_on "+1 555 0100")" true

# A contact's page says which window rule is in force.
open_pane
# The note sits under the last hours field.
note() {
  ui scroll --row 13 --section 1 >/dev/null || fail "scroll to the note"
  q 'any("lasts until tuesday 07:00" in n.get("text", "").lower() for n in nodes)'
}
ui tap Contacts && ui wait "Jane Roe" && ui tap "Jane Roe" && ui wait Blocked || fail "open Jane Roe's page"
check "without the switch the note does not speak of windows across midnight" is "$(note)" False
ui back && ui wait Contacts && ui back && ui wait Enabled || fail "back to the root page"
switch "Windows may cross midnight" overnightWindows True
ui tap Contacts && ui wait "Jane Roe" && ui tap "Jane Roe" && ui wait Blocked || fail "open Jane Roe's page again"
check "with the switch on the note says a window runs into the next day" is "$(note)" True

echo "opt-in rules: $passed passed, $failed failed"
((failed == 0))
