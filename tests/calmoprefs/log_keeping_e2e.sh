#!/usr/bin/env bash
# Keeping the logs through the pane, on booted devices: "Keep blocked
# records" set on the root page keeps the newest records of a burst that
# the engine logged, and the unread count leaves the dropped ones out;
# "Export" writes a backup that "Import" on a second device turns into the
# same settings and logs, and backups that are bad are refused with an alert
# that says why, changing nothing.
# Usage: log_keeping_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
prefs_file=com.veltrane.calmoprefs.plist
notif_file=com.veltrane.calmoraBlockedNotif.plist
calls_file=com.veltrane.calmoraBlockedCalls.plist
# plist FILE PYTHON-EXPRESSION over `d`, the file read by a plist reader.
plist() { python3 -c 'import plistlib, sys; d = plistlib.load(open(sys.argv[1], "rb")); print(eval(sys.argv[2]))' "$@"; }
texts() { q '[n.get("text") or n.get("title") for n in nodes if n.get("text") or n.get("title")]'; }
open_pane() {
  sim launch "$APP" >/dev/null || fail "launch Settings"
  ui wait Calmora && ui tap Calmora && ui wait Enabled || fail "the root page did not show"
}
respring() {
  ui wait "Respring?" || fail "no respring question"
  respring_by Yes || fail "no new home screen after the respring"
}
# The root page's group "Backup" on screen.
to_backup_group() { ui scroll --row 1 --section 6 >/dev/null; }
# An action sheet slides in: its buttons take taps once they are in place.
tap_soon() { for _ in $(seq 50); do ui tap "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
bulletin() { sim bulletin --section net.whatsapp.WhatsApp --title "Jane Roe" --message "$1" | json 'd["handedOn"]'; }

python3 - "$PREFS/$prefs_file" <<'PY'
import plistlib, sys
plistlib.dump({"isTweakEnabled": True, "ignoretime": True, "sound": "1005",
               "P-1": {"isBlocked": True, "net.whatsapp.WhatsApp": True}}, open(sys.argv[1], "wb"))
PY
printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Roe;Jane;;;" UID:P-1 "TEL:+1 555 0101" END:VCARD > "$BOOK"
sim boot >/dev/null || fail "boot"
open_pane

# 1. The limit, chosen on the root page, counts from the next home screen.
ui tap "Keep blocked records" && ui wait "10,000" && ui tap 100 ||
  fail "choose 100 records"
[[ $(plist "$PREFS/$prefs_file" 'd["logLimit"]') == 100 ]] || fail "the limit: $(plist "$PREFS/$prefs_file" d)"
ui back && ui wait "Keep blocked records" || fail "back from the limit"
ui tap "Apply changes" && respring

# 8 records, two of them read, then 97 more: the 5 oldest go (all unread).
for i in $(seq 0 7); do [[ $(bulletin "m$i") == False ]] || fail "bulletin m$i was handed on"; done
for key in 5 6; do sim post com.veltrane.calmo/markReadN key=$key >/dev/null || fail "mark $key read"; done
for _ in $(seq 100); do
  [[ $(plist "$PREFS/$notif_file" '[d[k].get("isRead") for k in ("5", "6")]') == "[True, True]" ]] && break
  sleep 0.05
done
for i in $(seq 8 104); do [[ $(bulletin "m$i") == False ]] || fail "bulletin m$i was handed on"; done
check "the newest 100 records stay under the keys 0 to 99" \
  is "$(plist "$PREFS/$notif_file" 'sorted(d, key=int) == [str(k) for k in range(100)], d["0"]["msg"], d["99"]["msg"]')" \
  "(True, 'm5', 'm104')"
check "read marks move with their records" \
  is "$(plist "$PREFS/$notif_file" '[d[k]["isRead"] for k in ("0", "1", "2")], sum(not r["isRead"] for r in d.values())')" \
  "([True, True, False], 98)"
listen "$WORK/badge" com.veltrane.calmo/unreadNotifCOunt --count 1 --timeout 10 || fail "listen"
sim post com.veltrane.calmo/unreadNotif >/dev/null
wait "$listener"
check "the badge counts only the records kept" is "$(json 'd["userInfo"]["badges"]' <"$WORK/badge")" 98

# 2. Export on this device (Settings ended at the respring).
open_pane
to_backup_group
ui tap Export && ui wait Exported || fail "no answer to Export"
ui tap OK || fail "tap OK"
backup=$(ls "$DEV/var/mobile/Documents/" 2>/dev/null)
[[ $backup =~ ^Calmora-Backup-[0-9]{8}-[0-9]{6}\.plist$ ]] || fail "the backup's name: '$backup'"
check "the backup holds the format version, the settings and both logs" \
  is "$(plist "$DEV/var/mobile/Documents/$backup" 'd["formatVersion"], d["settings"]["logLimit"], len(d["blockedNotifications"]), d["blockedCalls"]')" \
  "(1, 100, 100, {})"
first=$DEV
timeout 30 "$SIMCTL" shutdown "$first" >/dev/null

# 3. A second device, with settings of its own and bad backups beside the good one.
DEV=$WORK/device2
PREFS=$DEV/var/mobile/Library/Preferences
docs=$DEV/var/mobile/Documents
mkdir -p "$PREFS" "$docs"
python3 - "$PREFS/$prefs_file" "$docs" "$first/var/mobile/Documents/$backup" <<'PY'
import plistlib, sys, os
prefs, docs, good = sys.argv[1:]
plistlib.dump({"isTweakEnabled": False, "sound": "1013"}, open(prefs, "wb"))
d = plistlib.load(open(good, "rb"))
open(os.path.join(docs, "Calmora-Backup-20000101-000001.plist"), "w").write("these are no settings")
plistlib.dump(dict(d, formatVersion=2), open(os.path.join(docs, "Calmora-Backup-20000101-000002.plist"), "wb"))
holes = dict(d, blockedNotifications={"0": {}, "7": {}})
plistlib.dump(holes, open(os.path.join(docs, "Calmora-Backup-20000101-000003.plist"), "wb"))
PY
truncate -s 600M "$docs/Calmora-Backup-20000101-000004.plist"
cp "$first/var/mobile/Documents/$backup" "$docs/"
sim boot >/dev/null || fail "boot the second device"
before=$(cd "$PREFS" && ls -l --time-style=full-iso && md5sum -- *)
open_pane
# import NAME: Import, the backup, Replace.
import() {
  to_backup_group
  ui tap Import && ui wait "Choose a backup." && tap_soon "$1" && ui wait "Replace settings and logs?" && ui tap Replace
}
for bad in "000001:not a property list" "000002:format version 2" "000003:notifications log does not parse" \
           "000004:larger than 512 MB"; do
  name=Calmora-Backup-20000101-${bad%%:*}.plist
  import "$name" || fail "import $name"
  ui wait "Cannot import" || fail "no refusal of $name"
  check "$name is refused saying why" is "$(texts | grep -c "${bad#*:}")" 1
  ui tap OK || fail "tap OK"
done
check "a refused backup changes nothing" is "$(cd "$PREFS" && ls -l --time-style=full-iso && md5sum -- *)" "$before"

import "$backup" || fail "import the good backup"
respring
check "the settings are the first device's" \
  is "$(plist "$PREFS/$prefs_file" 'd == plistlib.load(open(sys.argv[3], "rb"))' "$first/var/mobile/Library/Preferences/$prefs_file")" True
for log in "$notif_file" "$calls_file"; do
  if [[ -e $first/var/mobile/Library/Preferences/$log ]]; then
    check "$log is the first device's, byte for byte" cmp -s "$PREFS/$log" "$first/var/mobile/Library/Preferences/$log"
  else
    check "$log is empty as on the first device" is "$(plist "$PREFS/$log" d)" "{}"
  fi
done
check "the settings before the import are kept aside" \
  is "$(plist "$(ls "$PREFS"/$prefs_file.before-import-*)" 'd["sound"]')" 1013
# The new home screen counts the imported records.
listen "$WORK/badge2" com.veltrane.calmo/unreadNotifCOunt --count 1 --timeout 10 || fail "listen"
sim post com.veltrane.calmo/unreadNotif >/dev/null
wait "$listener"
check "the imported log's unread records count" is "$(json 'd["userInfo"]["badges"]' <"$WORK/badge2")" 98

echo "$passed passed, $failed failed"
((failed == 0))
