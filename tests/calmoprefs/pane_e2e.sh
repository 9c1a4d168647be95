#!/usr/bin/env bash
# The pane driven as a person would, on a booted device: the first change
# creates the settings file, "Apply changes" asks first, a coordinate of zero
# still moves the marker, a sound is stored before it plays, the contact list
# keeps namesakes apart, and contacts blocked through the pages alone have
# their calls decided by the schedule in both rule modes.
# Usage: pane_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1
APP=com.apple.Preferences
# The engine reads the real clock: in a zone where it is about noon now, the
# windows below stay clear of midnight for the whole run.
export TZ=Etc/GMT$(printf %+d $(($(date -u +%-H) - 12)))
today=$(($(date +%w) + 1))  # weekday1 is Sunday
source "$(dirname "$0")/../support/e2e_prelude.sh"
prefs=$PREFS/com.veltrane.calmoprefs.plist
texts() { q '[n["text"] for n in nodes if n.get("text")]'; }
# setting PYTHON-EXPRESSION over the settings file `d` (None when missing).
setting() {
  python3 -c "
import plistlib
try: d = plistlib.load(open('$prefs', 'rb'))
except FileNotFoundError: d = None
print($1)"
}
open_pane() {
  sim launch "$APP" >/dev/null || fail "launch Settings"
  ui wait Calmora || fail "no Calmora row"
  ui tap Calmora && ui wait Enabled || fail "the root page did not show"
}
# setting_is PYTHON-EXPRESSION WANT
setting_is() { is "$(setting "$1")" "$2"; }
# "Apply changes", "Yes": a new home screen loads the settings as written.
respring() {
  ui tap "Apply changes" && ui wait "Respring?" || fail "no respring question"
  respring_by Yes || fail "no new home screen after the respring"
}
# Whether the calls of Jane Roe and of the first Sam Lee are handed on.
calls() {
  for c in "Jane Roe:P-1" "Sam Lee:P-2"; do sim call --name "${c%:*}" --contact "${c#*:}:ABPerson" | json 'd["handedOn"]'; done |
    tr '\n' ' '
}
# On a contact's page: today's switch on and today's window HOURS, saved.
schedule() {
  ui toggle "$(LC_ALL=C date +%A)" && ui tap "$(LC_ALL=C date +%a) hours" && ui type "$1" && ui tap Save && ui wait "Setting saved." && ui tap Ok
}

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Lee;Sam;;;" UID:P-2 "TEL:+1 555 0102" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Lee;Sam;;;" UID:P-3 "TEL:+1 555 0103" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Nobody;Ned;;;" UID:P-4 END:VCARD > "$BOOK"
sim boot >/dev/null || fail "boot"
open_pane

ui toggle Enabled || fail "toggle Enabled"
eventually setting_is d "{'isTweakEnabled': True}" || fail "first change"
ui toggle "Ignore schedule" || fail "toggle Ignore schedule"

ui tap "Apply changes" && ui wait "Respring?" || fail "no respring question"
ui tap No || fail "tap No"
# The question gone, the answer was heard: the settings stay as they were.
question_gone() { [[ $(texts) != *Respring?* ]]; }
eventually question_gone || fail "the question stayed"
[[ $(setting "sorted(d)") == "['ignoretime', 'isTweakEnabled']" ]] || fail "No changed the settings"
respring
open_pane

# A coordinate's zero still tells the home screen, which moves the marker.
[[ $(sim status | json 'd["marker"]["frame"][0]') != 0 ]] || fail "the marker starts at the left edge"
listen "$WORK/heard" com.veltrane.calmoraprefs.showIcon --count 1 --timeout 10 || fail "listen"
ui tap "Left edge" && ui wait "0 %" && ui tap "0 %" || fail "choose the left edge"
wait "$listener" || fail "no showIcon after a zero coordinate"
[[ $(setting "d['xcoordinates']") == 0 ]] || fail "the coordinate: $(setting d)"
for _ in $(seq 50); do [[ $(sim status | json 'd["marker"]["frame"][0]') == 0 ]] && break; sleep 0.1; done
[[ $(sim status | json 'd["marker"]["frame"][0]') == 0 ]] || fail "the marker did not move: $(sim status)"
ui back && ui wait Sound || fail "back from the coordinates"

# A chosen sound is stored by the time the Settings app plays it.
ui tap Sound && ui wait Bell && ui tap Bell || fail "choose a sound"
for _ in $(seq 50); do
  played=$(sim status | json 'list(zip(d["sounds"], d["soundProcesses"]))[-1:]')
  [[ $played == "[(1013, '$APP')]" ]] && break
  sleep 0.1
done
[[ $played == "[(1013, '$APP')]" && $(setting "d['sound']") == 1013 ]] || fail "played $played, stored $(setting d)"
ui back && ui wait Contacts || fail "back from the sounds"

ui tap Contacts && ui wait "Jane Roe" || fail "the contact list did not show"
list=$(texts)
[[ $list == *"3 Contacts"* ]] || fail "title: $list"
# Each row shows its name in two nodes; namesakes keep a row each.
[[ $(python3 -c "l = $list; print(l.count('Sam Lee') == 2 * l.count('Jane Roe') > 0)") == True ]] ||
  fail "namesakes share a row: $list"
[[ $list != *Ned* ]] || fail "a contact without a number is listed"

ui tap "Jane Roe" && ui wait Blocked || fail "the contact's page did not show"
ui toggle Blocked || fail "toggle Blocked"
ui tap "Block Apps" && ui wait Notifications || fail "the blocked-apps page did not show"
ui toggle Phone || fail "toggle Phone"
eventually setting_is "d['P-1']" "{'isBlocked': True, 'com.apple.mobilephoneCall': True}" || fail "the contact entry"

[[ $(calls) == "False True " ]] || fail "only the blocked contact's call is ended: $(calls)"

# With the schedule heeded, the window decides in both rule modes: Jane's
# holds now, the first Sam Lee's (namesakes stand by contact key) does not.
ui back && ui wait "Block Apps" && schedule 11:00-15:00 || fail "Jane's window"
ui back && ui wait "Sam Lee" && ui tap --row 1 && ui wait Blocked && ui toggle Blocked || fail "Sam's page"
ui tap "Block Apps" && ui wait Notifications && ui toggle Phone && ui back || fail "Sam's phone switch"
ui wait Blocked && schedule 01:00-02:00 || fail "Sam's window"
[[ $(setting "[d[k]['weekdayHour$today'] for k in ('P-1', 'P-2')], d['P-2']['isBlocked']") == "['11:00-15:00', '01:00-02:00'] True" ]] ||
  fail "the windows: $(setting d)"
ui back && ui wait "Sam Lee" && ui back && ui wait Contacts && ui toggle "Ignore schedule" ||
  fail "heed the schedule"
respring
[[ $(calls) == "False True " ]] || fail "blocklist: only a call inside the window is ended: $(calls)"
open_pane
ui tap --at $(q 'next(f"{x + w * 0.75} {y + h / 2}" for x, y, w, h in [n["frame"] for n in nodes if n.get("identifier") == "methodspecifier"])') ||
  fail "tap Whitelist"
eventually setting_is "d['methodspecifier'], d['ignoretime']" "1 False" || fail "the mode"
respring
[[ $(calls) == "True False " ]] || fail "whitelist: only a call outside the window is ended: $(calls)"

# The lock (the respring ended Settings): with "isTouch" on, opening the pane
# asks; cancelling ends Settings with status 0.
update "$DEV/Device.plist" 'Biometry="touch", BiometryEnrolled=True' && update "$prefs" isTouch=True || fail "lock"
sim launch "$APP" >/dev/null && ui wait Calmora && ui tap Calmora || fail "open the locked pane"
ui wait "Touch ID" || fail "no prompt"
sim auth "$APP" -2 >/dev/null || fail "no prompt to cancel"
for _ in $(seq 50); do
  ended=$(sim apps | json "[a.get('status') for a in d['apps'] if a['bundle'] == '$APP'][-1]")
  [[ $ended == 0 ]] && break
  sleep 0.1
done
[[ $ended == 0 ]] || fail "cancelling the prompt left Settings with status $ended"
echo "pane e2e passed"
