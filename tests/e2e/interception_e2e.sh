#!/usr/bin/env bash
# Calls and bulletins end to end: a settings file and an address book written
# by other programs (python3 here), a booted device, simctl call and bulletin,
# and what the device and the logs show afterwards.
# Usage: interception_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -u
SIMCTL=$1
source "$(dirname "$0")/../support/e2e_prelude.sh"
# field JSON PYTHON-EXPRESSION: the expression over the parsed object `d`.
field() { json "$2" <<<"$1"; }
handed_on() { field "$1" 'str(d["handedOn"]).lower()'; }

# The settings as the pane writes them (binary plist this time), blocklist.
settings() {  # settings MODE
  python3 - "$PREFS/com.veltrane.calmoprefs.plist" "$1" <<'PY'
import plistlib, sys, os
path, mode = sys.argv[1], int(sys.argv[2])
week = {}
for day in range(1, 8):
    week["weekday%d" % day] = True
    week["weekdayHour%d" % day] = "00:00-23:59"
d = {
    "isTweakEnabled": True, "methodspecifier": mode, "ignoretime": True, "sound": "1005",
    "E2E0-0001": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True, "com.apple.facetimeCall": True,
                                          "net.whatsapp.WhatsApp": True, "com.apple.MobileSMS": True,
                                          "org.whispersystems.signal": True}, **week),
    "E2E0-0002": dict(isBlocked=False, **{"com.apple.mobilephoneCall": True}, **week),
}
tmp = path + ".tmp"
with open(tmp, "wb") as f:
    plistlib.dump(d, f, fmt=plistlib.FMT_BINARY)
os.replace(tmp, path)
PY
}

# An address book as a desktop program exports it: CRLF, a folded line, a
# grouped property, UTF-8.
book() {  # book GIVEN-NAME-OF-CONTACT-1
  python3 - "$BOOK" "$1" <<'PY'
import sys, os
path, given = sys.argv[1], sys.argv[2]
cards = [
    "BEGIN:VCARD", "VERSION:3.0", "N:Roe;%s;;;" % given, "FN:%s Roe" % given, "UID:E2E0-0001",
    "item1.TEL;type=CELL:+1 555 0101", "item1.X-ABLabel:mobile",
    "X-SOCIALPROFILE;type=WhatsApp;x-user=janeroe:https://wa.example/",
    " janeroe", "END:VCARD",
    "BEGIN:VCARD", "VERSION:3.0", "N:Brandt;Bob;;;", "FN:Bob Brandt", "UID:E2E0-0002",
    "TEL:+1 555 0102", "END:VCARD",
    "BEGIN:VCARD", "VERSION:3.0", "N:Østergaard;Zoë;;;", "UID:E2E0-0003", "TEL:+45 1", "END:VCARD",
]
tmp = path + ".tmp"
with open(tmp, "w", encoding="utf-8", newline="") as f:
    f.write("\r\n".join(cards) + "\r\n")
os.replace(tmp, path)
PY
}

settings 0
book Jane
out=$(sim boot); rc=$?
check "boot exits 0" is "$rc" 0
check "the hook library is loaded" is "$(field "$out" '"AACalmora.so" in d["injected"]')" True

# 1. Calls; the signals a block posts are watched in tests/device/signals_e2e.sh.
check "a blocked caller's call is not handed on" \
  is "$(handed_on "$(sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson")")" false
check "an unblocked contact's call is handed on" \
  is "$(handed_on "$(sim call --name "Bob Brandt" --contact "E2E0-0002:ABPerson")")" true
check "an outgoing call is handed on" \
  is "$(handed_on "$(sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson" --outgoing)")" true
check "a call in another status is handed on" \
  is "$(handed_on "$(sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson" --status 1)")" true
later
out=$(sim call --name "Jane Roe" --contact "E2E0-0001" --provider FACETIME --via both)
check "FaceTime: the event and the update are both stopped" \
  is "$(field "$out" '[o["handedOn"] for o in d["outcomes"]]')" "[False, False]"

# 2. Bulletins.
check "WhatsApp from a blocked sender (subtitle) is suppressed" \
  is "$(handed_on "$(sim bulletin --section net.whatsapp.WhatsApp --title Family --subtitle "Jane Roe" --message "dinner?")")" false
check "a sender found through a profile is suppressed" \
  is "$(handed_on "$(sim bulletin --section net.whatsapp.WhatsApp --title janeroe --message x)")" false
check "an unblocked sender is published" \
  is "$(handed_on "$(sim bulletin --section net.whatsapp.WhatsApp --title "Bob Brandt" --message yo)")" true
check "an old Messages bulletin is still suppressed" \
  is "$(handed_on "$(sim bulletin --section com.apple.MobileSMS --title "Jane Roe" --age 5)")" false

status=$(sim status)
check "all calls were ended three times" is "$(field "$status" 'd["callsEnded"]')" 3
# Besides the phone's own: the ringtone of the call handed on, the banner's tone.
check "one sound per logged block" is "$(field "$status" '[s for s in d["sounds"] if s not in (1151, 1312)]')" \
  "[1005, 1005, 1005, 1005, 1005]"
check "the published bulletins are the handed-on ones" \
  is "$(field "$status" '[b["title"] for b in d["published"]]')" "['Bob Brandt']"

# 3. The logs, read by another program.
logs() {
  python3 - "$PREFS" <<'PY'
import plistlib, sys, base64
for name in ("com.veltrane.calmoraBlockedCalls.plist", "com.veltrane.calmoraBlockedNotif.plist"):
    with open(sys.argv[1] + "/" + name, "rb") as f:
        log = plistlib.load(f)
    for key in sorted(log, key=int):
        r = log[key]
        png = base64.b64decode(r.pop("iconData"))[:4] == b"\x89PNG"
        r.pop("Date")
        print(key, sorted(r.items()), "png" if png else "no icon")
PY
}
logs >"$WORK/logs.out"
check "the logs hold the records" diff -u - "$WORK/logs.out" <<'OUT'
0 [('Data', 'Phone Call from Jane Roe'), ('From', 'Jane Roe'), ('appBID', 'com.apple.mobilephone'), ('appName', 'Phone'), ('isRead', False)] png
1 [('Data', 'FaceTime Audio Call from Jane Roe'), ('From', 'Jane Roe'), ('appBID', 'com.apple.facetime'), ('appName', 'FaceTime Audio'), ('isRead', False)] png
0 [('Data', 'WhatsApp notification from Jane Roe'), ('From', 'Jane Roe'), ('appBID', 'net.whatsapp.WhatsApp'), ('appName', 'WhatsApp'), ('isRead', False), ('msg', 'dinner?')] png
1 [('Data', 'WhatsApp notification from janeroe'), ('From', 'janeroe'), ('appBID', 'net.whatsapp.WhatsApp'), ('appName', 'WhatsApp'), ('isRead', False), ('msg', 'x')] png
2 [('Data', 'Messages notification from Jane Roe'), ('From', 'Jane Roe'), ('appBID', 'com.apple.MobileSMS'), ('appName', 'Messages'), ('isRead', False), ('msg', 'Unknown')] png
OUT

# 4. The address book changes under the running device.
book Janet
check "the renamed contact's new name is blocked" \
  is "$(handed_on "$(sim bulletin --section com.apple.MobileSMS --title "Janet Roe")")" false
check "the old name is nobody now" \
  is "$(handed_on "$(sim bulletin --section com.apple.MobileSMS --title "Jane Roe")")" true

# 5. Whitelist mode after a respring.
settings 1
out=$(sim respring); rc=$?
check "respring exits 0" is "$rc" 0
check "whitelist: a stranger in a messaging app is suppressed" \
  is "$(handed_on "$(sim bulletin --section org.whispersystems.signal --title "Someone Else")")" false
check "whitelist: a call from a listed contact is handed on" \
  is "$(handed_on "$(sim call --name "Janet Roe" --contact "E2E0-0001")")" true

# 6. A FIFO where a log and the address book belong, then the settings a
# link to an endless device: nothing blocks, nothing dies.
NOTIF=$PREFS/com.veltrane.calmoraBlockedNotif.plist
rm -f "$NOTIF" "$BOOK"
mkfifo "$NOTIF" "$BOOK"
check "a bulletin logged where a FIFO is is suppressed" \
  is "$(handed_on "$(sim bulletin --section org.whispersystems.signal --title "Someone Else")")" false
check "the FIFO is kept aside and the log starts again" \
  is "$(python3 -c 'import plistlib,sys; print(len(plistlib.load(open(sys.argv[1],"rb"))))' "$NOTIF") $(
        find "$PREFS" -name "${NOTIF##*/}.unreadable-*" -type p | wc -l)" "1 1"
ln -sf /dev/zero "$PREFS/com.veltrane.calmoprefs.plist"
out=$(sim respring); rc=$?
check "respring with endless settings exits 0" is "$rc" 0
check "settings that cannot be read block nothing" \
  is "$(handed_on "$(sim bulletin --section org.whispersystems.signal --title "Someone Else")")" true

out=$(sim shutdown); rc=$?
check "shutdown exits 0" is "$(field "$out" 'd["running"]')" False

echo "$passed passed, $failed failed"
test "$failed" -eq 0
