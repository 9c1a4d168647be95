#!/usr/bin/env bash
# The demo: a fresh device with sample contacts and apps, Calmora switched on
# in blocklist mode with one contact blocked for phone calls and WhatsApp at
# all hours; a blocked and an allowed call, a blocked and an allowed WhatsApp
# message; the logs, the marker and a screenshot; then the log viewer opened
# from its icon, both records read in it, and the marker gone.
set -euo pipefail

dir=$(realpath -m "${1:-demo-device}")
bin=$(cd "$(dirname "$0")/../../build/bin" && pwd)
simctl="$bin/simctl"
prefs="$dir/var/mobile/Library/Preferences"
mallory="7D1A3C52-96B4-4E0B-8B1F-2C5F0E6A9D41"
alice="0B9E5F18-4C27-4D3A-A6E2-7F81C3D2B590"

step() { printf '\n== %s\n' "$*"; }
field() { python3 -c 'import json,sys; d=json.load(sys.stdin); print(eval(sys.argv[1], {}, {"d": d}))' "$1"; }

step "Booting a fresh device in $dir"
"$simctl" shutdown "$dir" >/dev/null 2>&1 || true
rm -rf "$dir"
"$simctl" boot "$dir" | field '"home screen up, libraries injected: %s" % d["injected"]'

step "Writing the address book and the settings, as the contacts app and the settings pane would"
mkdir -p "$dir/var/mobile/Library/AddressBook" "$prefs"
cat > "$dir/var/mobile/Library/AddressBook/contacts.vcf" <<VCF
BEGIN:VCARD
VERSION:3.0
N:Evil;Mallory;;;
FN:Mallory Evil
UID:$mallory
TEL;TYPE=CELL:+1 555 0100
X-SOCIALPROFILE;TYPE=whatsapp;x-user=mallory.e:x-apple:mallory.e
END:VCARD
BEGIN:VCARD
VERSION:3.0
N:Friend;Alice;;;
FN:Alice Friend
UID:$alice
TEL;TYPE=CELL:+1 555 0199
END:VCARD
VCF
cat > "$prefs/com.veltrane.calmoprefs.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>isTweakEnabled</key><true/>
  <key>methodspecifier</key><integer>0</integer>
  <key>ignoretime</key><true/>
  <key>sound</key><string>1005</string>
  <key>color</key><string>#E22300</string>
  <key>$mallory</key>
  <dict>
    <key>isBlocked</key><true/>
    <key>com.apple.mobilephoneCall</key><true/>
    <key>net.whatsapp.WhatsApp</key><true/>
  </dict>
</dict>
</plist>
PLIST
echo "Mallory Evil is blocked for phone calls and WhatsApp at all hours; Alice Friend is not."

step "Respring: the home-screen process restarts and loads Calmora with the new settings"
"$simctl" respring "$dir" | field '"%d installations made" % len(d["installations"])'
"$simctl" appear "$dir" >/dev/null

outcome() { field '"handed on to the phone" if d["handedOn"] else "BLOCKED"'; }
step "Events"
printf '  call from Mallory Evil ............. '
"$simctl" call "$dir" --name "Mallory Evil" --contact "$mallory:ABPerson" | outcome
sleep 1.2  # blocked calls closer than a second apart count as one
printf '  call from Alice Friend ............. '
"$simctl" call "$dir" --name "Alice Friend" --contact "$alice:ABPerson" | outcome
printf '  WhatsApp message from Mallory Evil . '
"$simctl" bulletin "$dir" --section net.whatsapp.WhatsApp --title "Mallory Evil" --message "Pick up!" | outcome
printf '  WhatsApp message from Alice Friend . '
"$simctl" bulletin "$dir" --section net.whatsapp.WhatsApp --title "Alice Friend" --message "Lunch?" | outcome
sleep 0.3  # the marker follows the show signal on the home screen's event loop

step "The logs"
"$simctl" logs "$dir"

step "The device"
status=$("$simctl" status "$dir")
echo "$status" | field '"calls ended: %d, sounds played: %s, bulletins shown: %s" % (d["callsEnded"], d["sounds"], [b["title"] for b in d["published"]])'
echo "$status" | field '"marker: %s" % d["marker"]'
"$simctl" screenshot "$dir" "$dir/screenshot-unread.png" >/dev/null
echo "screenshot with the marker: $dir/screenshot-unread.png"

step "The log viewer: a tap on the Calmora icon, the red rows, each record opened"
ui() { "$simctl" ui "$dir" "$@"; }
ui com.apple.springboard tap Calmora >/dev/null
# The tap starts the app; launch finds it started and returns once it answers.
"$simctl" launch "$dir" com.veltrane.calmora >/dev/null
ui com.veltrane.calmora wait "Phone Call from Mallory Evil" --timeout 10 >/dev/null
ui com.veltrane.calmora screenshot "$dir/screenshot-calls.png" >/dev/null
echo "Calls list (the unread row in red): $dir/screenshot-calls.png"
ui com.veltrane.calmora tap --row 0 >/dev/null
ui com.veltrane.calmora wait "Open in App" --timeout 10 >/dev/null
ui com.veltrane.calmora screenshot "$dir/screenshot-call-detail.png" >/dev/null
echo "the call's detail screen: $dir/screenshot-call-detail.png"
ui com.veltrane.calmora back >/dev/null
ui com.veltrane.calmora tap Notifications >/dev/null
ui com.veltrane.calmora wait "WhatsApp notification from Mallory Evil" --timeout 10 >/dev/null
ui com.veltrane.calmora tap --row 0 >/dev/null
ui com.veltrane.calmora wait "Open in App" --timeout 10 >/dev/null
echo "both records opened; the app asked the library to mark them read"
for _ in $(seq 50); do
  "$simctl" status "$dir" | python3 -c 'import json,sys; sys.exit(0 if not json.load(sys.stdin)["marker"]["visible"] else 1)' && break
  sleep 0.1
done
"$simctl" status "$dir" | field '"marker: %s" % d["marker"]'
"$simctl" screenshot "$dir" "$dir/screenshot-read.png" >/dev/null
echo "screenshot without the marker: $dir/screenshot-read.png"

step "Done. The device keeps running; explore it with:"
echo "  $simctl status $dir"
echo "  $simctl logs $dir"
echo "  $simctl call $dir --name 'Mallory Evil' --contact '$mallory:ABPerson'"
echo "  $simctl shutdown $dir"
