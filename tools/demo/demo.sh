#!/usr/bin/env bash
# The demo, driven through the screens as a person would: a fresh device with
# two contacts; Calmora switched on in Settings and the home screen restarted;
# one contact blocked for phone calls and WhatsApp messages through the pane's
# pages; a blocked and an allowed call and message (the allowed call ringing
# and answered, the allowed message as a banner); the logs and the marker;
# the log viewer opened from its icon, a record opened and "Open in App"
# tapped; the marker gone. Each screen is saved as a picture. On a failure it
# names the step and leaves the device running. With --window the device
# window opens on the desktop after the boot, so the whole road can be
# watched there, and each picture has a twin, window-NN-NAME.png, of the
# window as the X screen shows it.
# Usage: demo.sh [--window] [DIR]
set -Eeuo pipefail

window=0
[[ ${1:-} == --window ]] && { window=1; shift; }
dir=$(realpath -m "${1:-demo-device}")
bin=$(cd "$(dirname "$0")/../../build/bin" && pwd)
simctl="$bin/simctl"
shots="$dir/screenshots"
prefs="$dir/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist"
settings=com.apple.Preferences
viewer=com.veltrane.calmora

current="starting"
step() { current=$1; printf '\n== %s\n' "$*"; }
failed() {
  # A failure inside $(...) or a pipe is reported once, by the main shell.
  ((BASH_SUBSHELL)) && exit 1
  local n=${#BASH_LINENO[@]}
  printf '\nDEMO FAILED during: %s\n  (%s, line %s)\n' "$current" "$0" "${BASH_LINENO[n-2]}" >&2
  printf 'The device keeps running in %s; its logs are in %s/var/log/.\n' "$dir" "$dir" >&2
  exit 1
}
trap failed ERR

field() { python3 -c 'import json,sys; d=json.load(sys.stdin); print(eval(sys.argv[1], {}, {"d": d}))' "$1"; }
ui() {
  local answer
  answer=$("$simctl" ui "$dir" "$@") || { echo "  simctl ui $*: ${answer:-no answer}" >&2; return 1; }
}
# shows APP TEXT: waits until TEXT is on APP's screen.
shows() { ui "$1" wait "$2" --timeout 10; }
shot() {
  if [[ $1 == home ]]; then "$simctl" screenshot "$dir" "$shots/$2" >/dev/null
  else ui "$1" screenshot "$shots/$2"; fi
  echo "  picture: $shots/$2 ($3)"
  if ((window)); then
    python3 "$(dirname "$0")/window_picture.py" "$simctl" "$dir" "$1" "$shots/window-$2" &&
      echo "  picture: $shots/window-$2 (the device window)"
  fi
  return 0
}
# switch_in_section APP TEXT SECTION: taps the switch of the cell TEXT in that
# section, for a label that stands in more than one group.
switch_in_section() {
  local at
  at=$("$simctl" ui "$dir" "$1" tree | python3 -c '
import json, sys
text, section = sys.argv[1], int(sys.argv[2])
def walk(n):
    yield n
    for c in n.get("children", []): yield from walk(c)
for cell in walk(json.load(sys.stdin)["tree"]):
    if cell.get("text") == text and cell.get("section") == section:
        for s in walk(cell):
            if s["class"] == "UISwitch":
                x, y, w, h = s["frame"]
                print(x + w / 2, y + h / 2)
                sys.exit(0)
sys.exit(1)' "$2" "$3")
  ui "$1" tap --at $at
}
newer_home_screen() {
  local before=$1 now
  for _ in $(seq 150); do
    now=$(cat "$dir/run/springboard.pid" 2>/dev/null || true)
    [[ -n $now && $now != "$before" ]] && return 0
    sleep 0.1
  done
  return 1
}
# until_status CONDITION REPORT: polls the device's status until CONDITION on
# `d` holds (5 s at most), prints REPORT and fails if it never held. One
# interpreter for the whole wait: starting one costs more than a status.
until_status() {
  python3 - "$simctl" "$dir" "$1" "$2" <<'PY'
import json, subprocess, sys, time
simctl, dev, condition, report = sys.argv[1:]
for _ in range(50):
    d = json.loads(subprocess.run([simctl, "status", dev], capture_output=True, text=True).stdout)
    if eval(condition):
        break
    time.sleep(0.1)
print(eval(report))
sys.exit(0 if eval(condition) else 1)
PY
}
setting() { python3 -c "import plistlib; d = plistlib.load(open('$prefs', 'rb')); print($1)"; }

step "Booting a fresh device in $dir, with two people in its address book"
"$simctl" shutdown "$dir" >/dev/null 2>&1 || true
rm -rf "$dir"
mkdir -p "$dir/var/mobile/Library/AddressBook" "$shots"
"$simctl" boot "$dir" | field '"  the home screen is up; libraries loaded into it: %s" % d["injected"]'
# The address book through simctl, as the Contacts app writes it; the
# identifiers it answers are the UIDs the settings and the calls name.
person() { "$simctl" contacts "$dir" add "$1" | python3 -c 'import json, sys; print(json.load(sys.stdin)["identifier"].split(":")[0])'; }
mallory=$(person '{"givenName": "Mallory", "familyName": "Evil", "phones": [{"label": "mobile", "value": "+1 555 0100"}],
                   "socialProfiles": [{"service": "whatsapp", "userName": "mallory.e"}]}')
alice=$(person '{"givenName": "Alice", "familyName": "Friend", "phones": [{"label": "mobile", "value": "+1 555 0199"}]}')
if ((window)); then "$simctl" open "$dir" >/dev/null && echo "  the device window is open on $DISPLAY"; fi
echo "  contacts: Mallory Evil, Alice Friend; no Calmora settings yet"

step "Opening the Settings app"
"$simctl" launch "$dir" $settings >/dev/null
shows $settings Calmora
shot $settings 01-settings.png "the Settings list with its Calmora row"

step "Settings > Calmora: switching on \"Enabled\" and \"Ignore schedule\" (block at all hours, so the demo blocks whenever it runs)"
ui $settings tap Calmora
shows $settings Enabled
ui $settings toggle Enabled
ui $settings toggle "Ignore schedule"
shows $settings Mode
"$simctl" ui "$dir" $settings tree | python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("children", []): yield from walk(c)
for n in walk(json.load(sys.stdin)["tree"]):
    if n["class"] == "UISegmentedControl": print("  mode: %s (as it comes)" % n["segments"][n["value"]])'
shot $settings 02-calmora.png "Calmora's page: Enabled and Ignore schedule on, mode Blocklist"
setting '"  the pane wrote: %s" % d'

step "\"Apply changes\", then \"Yes\": the home screen restarts and loads Calmora with the new settings"
before=$(cat "$dir/run/springboard.pid")
ui $settings tap "Apply changes"
shows $settings "Respring?"
# The restart ends Settings, often before simctl hears the tap's answer:
# the new home screen is the answer. The old one answers until it is gone;
# the new one writes its pid.
"$simctl" ui "$dir" $settings tap Yes >/dev/null 2>&1 || true
newer_home_screen "$before"
"$simctl" status "$dir" | field '"  a new home screen (pid %s) is up: %d replacements made by Calmora" % (open("'"$dir"'/run/springboard.pid").read().strip(), len(d["installations"]))'

step "Settings > Calmora > Contacts > Mallory Evil: switching on \"Blocked\""
"$simctl" launch "$dir" $settings >/dev/null
shows $settings Calmora
ui $settings tap Calmora
shows $settings Contacts
ui $settings tap Contacts
shows $settings "Mallory Evil"
shot $settings 03-contacts.png "the contact list"
ui $settings tap "Mallory Evil"
shows $settings Blocked
ui $settings toggle Blocked
shot $settings 04-contact.png "Mallory Evil's page, Blocked on"

step "\"Block Apps\": switching on Phone under Calls and WhatsApp under Notifications"
ui $settings tap "Block Apps"
shows $settings Notifications
ui $settings toggle Phone
ui $settings scroll --row 1 --section 1
switch_in_section $settings WhatsApp 1
# Messenger's row in the middle brings Phone and the second WhatsApp into one picture.
ui $settings scroll --row 5 --section 0
shot $settings 05-block-apps.png "the blocked-apps page: Phone calls and WhatsApp messages"

step "Back on Mallory Evil's page: \"Save\""
ui $settings back
shows $settings Save
ui $settings tap Save
shows $settings "Setting saved."
ui $settings tap Ok
setting '"  Mallory Evil'"'"'s entry as the pane wrote it: %s" % d["'"$mallory"'"]'

step "Back to Calmora's page and into \"Contacts\" again: the list, built anew, counts the blocked contact"
ui $settings back
shows $settings "2 Contacts"
ui $settings back
shows $settings Contacts
ui $settings tap Contacts
shows $settings "Blocked Contacts 1"
shot $settings 06-contacts-blocked.png "the contact list again: Mallory Evil blocked"

# outcome EXPECTED: prints what became of the event (simctl's one-line
# answer), and fails unless it was EXPECTED.
outcome() {
  local answer got=BLOCKED
  answer=$(cat)
  [[ $answer == *'"handedOn":true'* ]] && got="handed on to the phone"
  echo "$got"
  [[ $got == "$1" ]]
}
step "A call and a WhatsApp message from each of them"
printf '  call from Mallory Evil ............. '
"$simctl" call "$dir" --name "Mallory Evil" --contact "$mallory:ABPerson" | outcome BLOCKED
"$simctl" clock "$dir" --advance 2 >/dev/null  # a caller's blocked calls closer than a second apart count as one
printf '  call from Alice Friend ............. '
"$simctl" call "$dir" --name "Alice Friend" --contact "$alice:ABPerson" | outcome "handed on to the phone"
echo "  Mallory's call never showed; Alice's rings: the call screen over Settings"
shot home 07-call-ringing.png "Alice Friend's call ringing, Decline and Accept"
ui com.apple.springboard tap Accept
sleep 1.2
shot home 08-call-answered.png "the call answered, its time running, End"
ui com.apple.springboard tap End
printf '  WhatsApp message from Mallory Evil . '
"$simctl" bulletin "$dir" --section net.whatsapp.WhatsApp --title "Mallory Evil" --message "Pick up!" | outcome BLOCKED
printf '  WhatsApp message from Alice Friend . '
"$simctl" bulletin "$dir" --section net.whatsapp.WhatsApp --title "Alice Friend" --message "Lunch?" | outcome "handed on to the phone"
echo "  Mallory's message shows nothing; Alice's shows as a banner over Settings"
shot home 09-banner.png "Alice Friend's message as a banner"

step "Calmora's logs of what it blocked"
"$simctl" logs "$dir"

step "Home: the home screen with the ended call, the message shown, and the unread marker"
# Home, as a person would to see the home screen: Settings kept the front.
"$simctl" home "$dir" >/dev/null
# The marker follows the show signal on the home screen's event loop.
until_status 'd["marker"] and d["marker"]["visible"]' \
  '"  calls ended: %d, sounds played: %s, messages shown: %s\n  marker: %s" % (d["callsEnded"], d["sounds"], [b["title"] for b in d["published"]], d["marker"])'
shot home 10-home-unread.png "the home screen, the marker in the status bar"

step "A tap on the Calmora icon: the log viewer's Calls list, the unread row in red"
ui com.apple.springboard tap Calmora
# The tap starts the app; launch finds it started and returns once it answers.
"$simctl" launch "$dir" $viewer >/dev/null
shows $viewer "Phone Call from Mallory Evil"
shot $viewer 11-viewer-calls.png "the Calls list"

step "The call opened: its detail screen"
ui $viewer tap --row 0
shows $viewer "Open in App"
shot $viewer 12-call-detail.png "the blocked call's details"

step "\"Open in App\": the viewer asks the home screen to switch to the app the call came through"
ui $viewer tap "Open in App"
until_status 'd["launched"][-1] == "com.apple.mobilephone"' '"  the home screen was asked to open: %s" % d["launched"][-1]'
"$simctl" apps "$dir" | field '"  running apps: %s" % [a["bundle"] for a in d["apps"] if a["state"] == "running"]'
shows com.apple.mobilephone Recents
"$simctl" apps "$dir" | field '"  in front now: %s, its Recents listing the calls the phone handed on" % d["front"]'

step "The WhatsApp message opened too: both records are read now"
ui $viewer back
ui $viewer tap Notifications
shows $viewer "WhatsApp notification from Mallory Evil"
ui $viewer tap --row 0
shows $viewer "Open in App"
until_status 'not d["marker"]["visible"]' '"  marker: %s" % d["marker"]'
"$simctl" home "$dir" >/dev/null
shot home 13-home-read.png "the home screen, the marker gone"

step "Done. The device keeps running; explore it with:"
echo "  $simctl status $dir"
echo "  $simctl logs $dir"
echo "  $simctl ui $dir $settings tree"
echo "  $simctl call $dir --name 'Mallory Evil' --contact '$mallory:ABPerson'"
echo "  $simctl shutdown $dir"
