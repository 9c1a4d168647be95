#!/usr/bin/env bash
# The pane driven as a person would, on a booted device: the first change
# creates the settings file, "Apply changes" asks first, the contact list
# keeps namesakes apart, and a contact blocked through the pages alone has
# its next call ended.
# Usage: pane_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -uo pipefail
simctl=$1
app=com.apple.Preferences
work=$(mktemp -d /tmp/calmora-e2e-pane.XXXXXX)
dev=$work/device
prefs=$dev/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist
cleanup() {
  timeout 30 "$simctl" shutdown "$dev" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  tail -20 "$dev/var/log/$app.log" >&2 2>/dev/null
  exit 1
}
sim() { timeout 30 "$simctl" "$1" "$dev" "${@:2}"; }
ui() { timeout 30 "$simctl" ui "$dev" "$app" "$@" >/dev/null; }
texts() {
  timeout 30 "$simctl" ui "$dev" "$app" tree | python3 -c "
import json, sys
def walk(n):
    yield n
    for c in n.get('children', []): yield from walk(c)
print([n.get('text') for n in walk(json.load(sys.stdin)['tree']) if n.get('text') and n.get('visible', True)])"
}
# setting PYTHON-EXPRESSION over the settings file `d` (None when missing).
setting() {
  python3 -c "
import plistlib
try: d = plistlib.load(open('$prefs', 'rb'))
except FileNotFoundError: d = None
print($1)"
}
open_pane() {
  sim launch "$app" >/dev/null || fail "launch Settings"
  ui wait Calmora || fail "no Calmora row"
  ui tap Calmora && ui wait Enabled || fail "the root page did not show"
}

mkdir -p "$(dirname "$prefs")" "$dev/var/mobile/Library/AddressBook"
printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Lee;Sam;;;" UID:P-2 "TEL:+1 555 0102" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Lee;Sam;;;" UID:P-3 "TEL:+1 555 0103" END:VCARD \
  BEGIN:VCARD VERSION:3.0 "N:Nobody;Ned;;;" UID:P-4 END:VCARD > "$dev/var/mobile/Library/AddressBook/contacts.vcf"
sim boot >/dev/null || fail "boot"
open_pane

ui toggle Enabled || fail "toggle Enabled"
sleep 0.3
[[ $(setting "d") == "{'isTweakEnabled': True}" ]] || fail "first change: $(setting d)"
ui toggle "Ignore schedule" || fail "toggle Ignore schedule"

ui tap "Apply changes" && ui wait "Respring?" || fail "no respring question"
ui tap No || fail "tap No"
sleep 0.3
[[ $(texts) != *Respring?* ]] || fail "the question stayed"
[[ $(setting "sorted(d)") == "['ignoretime', 'isTweakEnabled']" ]] || fail "No changed the settings"
before=$(cat "$dev/run/springboard.pid")
ui tap "Apply changes" && ui wait "Respring?" && ui tap Yes || fail "tap Yes"
# The respring ends the apps and starts a new home screen, which records its
# pid once it answers; until then the old one may still be answering.
for _ in $(seq 100); do
  now=$(cat "$dev/run/springboard.pid" 2>/dev/null)
  [[ -n $now && $now != "$before" ]] && break
  sleep 0.1
done
[[ $now != "$before" ]] || fail "no new home screen after the respring"
open_pane

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
sleep 0.3
[[ $(setting "d['P-1']") == "{'isBlocked': True, 'com.apple.mobilephoneCall': True}" ]] ||
  fail "the contact entry: $(setting d)"

handed=$(sim call --name "Jane Roe" --contact "P-1:ABPerson" | python3 -c "import json,sys; print(json.load(sys.stdin)['handedOn'])")
[[ $handed == False ]] || fail "the blocked contact's call was handed on"
handed=$(sim call --name "Sam Lee" --contact "P-2:ABPerson" | python3 -c "import json,sys; print(json.load(sys.stdin)['handedOn'])")
[[ $handed == True ]] || fail "an unblocked contact's call was ended"

# The lock: with "isTouch" on, opening the pane asks; cancelling ends Settings with status 0.
sim terminate "$app" >/dev/null || fail "terminate Settings"
python3 - "$dev/Device.plist" "$prefs" <<'PY'
import plistlib, sys
for path, extra in ((sys.argv[1], {"Biometry": "touch", "BiometryEnrolled": True}), (sys.argv[2], {"isTouch": True})):
    d = plistlib.load(open(path, "rb"))
    d.update(extra)
    plistlib.dump(d, open(path, "wb"))
PY
sim launch "$app" >/dev/null && ui wait Calmora && ui tap Calmora || fail "open the locked pane"
ui wait "Touch ID" || fail "no prompt"
sim auth "$app" -2 >/dev/null || fail "no prompt to cancel"
for _ in $(seq 50); do
  ended=$(sim apps | python3 -c "import json,sys; print([a.get('status') for a in json.load(sys.stdin)['apps'] if a['bundle'] == '$app'][-1])")
  [[ $ended == 0 ]] && break
  sleep 0.1
done
[[ $ended == 0 ]] || fail "cancelling the prompt left Settings with status $ended"
echo "pane e2e passed"
