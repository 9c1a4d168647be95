#!/usr/bin/env bash
# The log viewer from outside: a booted device whose logs were written by the
# library (blocked calls and bulletins) and by python3's plistlib, the app
# driven with simctl ui, the posts seen with simctl listen.
# Usage: viewer_e2e.sh BIN_DIR [SCREENSHOT_DIR]   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
SHOTS=${2:-}
APP=com.veltrane.calmora
source "$(dirname "$0")/../support/e2e_prelude.sh"
# Waits (5 s at most) until q EXPR prints WANT.
until_q() { eventually gives "$2" q "$1"; }
settings() {  # settings IS_TOUCH: Jane Roe blocked for phone calls and WhatsApp at all hours
  python3 -c 'import plistlib, sys, os
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
d = {"isTweakEnabled": True, "methodspecifier": 0, "ignoretime": True, "isTouch": sys.argv[2] == "on",
     "E2E0-0001": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True, "net.whatsapp.WhatsApp": True}, **week)}
plistlib.dump(d, open(sys.argv[1] + ".tmp", "wb")); os.replace(sys.argv[1] + ".tmp", sys.argv[1])' \
    "$PREFS/com.veltrane.calmoprefs.plist" "$1"
}
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;Jane;;;\r\nFN:Jane Roe\r\nUID:E2E0-0001\r\nTEL:+1 555 0101\r\nEND:VCARD\r\n' >"$BOOK"
settings off
sim boot >/dev/null || { echo "FAILED: boot"; exit 1; }
sim appear >/dev/null  # the library registers its observers
check "the pane's artwork is installed" \
  test -s "$DEV/Library/PreferenceBundles/CalmoPrefs.bundle/eye.png"

# Two blocked calls and two bulletins through the library, then a third call
# record added by another program (plistlib, keys sorted as text).
sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson" >/dev/null
later
sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson" >/dev/null
LONG="A message long enough to go under its label: sixty-one units or more, wrapped."
sim bulletin --section net.whatsapp.WhatsApp --title "Jane Roe" --message "short one" >/dev/null
sim bulletin --section net.whatsapp.WhatsApp --title "Jane Roe" --message "$LONG" >/dev/null
python3 -c 'import plistlib, sys, os
log = plistlib.load(open(sys.argv[1], "rb"))
log[str(len(log))] = {"Data": "Python Call from Ann", "Date": "09:00:00 07-12-2026", "From": "Ann", "isRead": False,
                      "appBID": "com.apple.mobilephone", "appName": "Phone", "iconData": log["0"]["iconData"]}
plistlib.dump(log, open(sys.argv[1] + ".tmp", "wb")); os.replace(sys.argv[1] + ".tmp", sys.argv[1])' \
  "$PREFS/com.veltrane.calmoraBlockedCalls.plist"

sim launch "$APP" >/dev/null || { echo "FAILED: launch"; exit 1; }
check "the Calls list shows the records newest first" until_q '[r.get("text") for r in rows]' \
  "['Python Call from Ann', 'Phone Call from Jane Roe', 'Phone Call from Jane Roe']"
check "unread rows are red" is "$(q '{r.get("textColor") for r in rows}')" "{'#FF0000FF'}"
check "the Calls badge follows the library's count" until_q \
  '[n.get("badge") for n in nodes if n.get("text") == "Calls" and "badge" in n]' "['3']"
[ -n "$SHOTS" ] && ui screenshot "$SHOTS/calls-list.png" >/dev/null

# Opening a row: the refresh, the mark-one with its key, the unread request;
# the badge follows the library's reply.
listen "$WORK/tap" com.veltrane.calmo/tableRefresh com.veltrane.calmo/markReadC \
  com.veltrane.calmo/unreadCall com.veltrane.calmo/unreadCallCOunt --count 4 --timeout 15
ui tap --row 1 >/dev/null
wait "${PIDS[-1]}"
check "a tap posts refresh, markReadC with the key, unreadCall, and the reply comes" \
  is "$(python3 -c 'import json,sys; print([(d["name"].split("/")[-1], d["userInfo"]) for d in map(json.loads, open(sys.argv[1]))])' "$WORK/tap")" \
  "[('tableRefresh', {}), ('markReadC', {'key': '1'}), ('unreadCall', {}), ('unreadCallCOunt', {'badges': '2'})]"
check "the call's detail rows" until_q '[n.get("text") for n in nodes if n["class"] == "UITableViewCell"]' \
  "['Phone', 'From', 'Call Date']"
check "Open in App sits 10 points inside the 65-point bar, in the icon's colour, black on the light green" \
  is "$(q '[(n["frame"][2], n["frame"][3], n.get("textColor"), n.get("backgroundColor") not in (None, "#000000FF")) for n in nodes if n.get("title") == "Open in App"]')" \
  "[(355, 45, '#000000FF', True)]"
check "the detail's rows start right under its bar, which has no large title" \
  is "$(q '[(n["largeTitle"], n["frame"][1] + n["frame"][3]) for n in nodes if n["class"] == "UINavigationBar"] + [n["frame"][1] for n in nodes if n["class"] == "UITableViewCell" and n.get("section") == 0]')" \
  "[(False, 64), 64]"
ui tap "Open in App" >/dev/null
last_launched() { is "$(sim status | python3 -c 'import json,sys; print(json.load(sys.stdin)["launched"][-1:])')" "$1"; }
check "Open in App has the home screen launch the record's app" eventually last_launched "['com.apple.mobilephone']"
ui back >/dev/null
check "the opened record is read (black) once back, without a pull" until_q '[r.get("textColor") for r in rows]' \
  "['#FF0000FF', '#000000FF', '#FF0000FF']"

# The notifications list and a long message's detail.
ui tap Notifications >/dev/null
check "the Notifications list" until_q '[r.get("text") for r in rows]' \
  "['WhatsApp notification from Jane Roe', 'WhatsApp notification from Jane Roe']"
ui tap --row 0 >/dev/null
check "a long message is shown under its label" until_q \
  '[(n.get("text"), n.get("detail") == "'"$LONG"'") for n in nodes if n["class"] == "UITableViewCell"][-1]' \
  "('Data', True)"
[ -n "$SHOTS" ] && ui screenshot "$SHOTS/notification-detail.png" >/dev/null
ui back >/dev/null

# Mark all: "NO" changes nothing; "Yes" asks the library, reloads and clears the badge.
ui tap Calls >/dev/null
eye() { ui tap --at $(q '[f"{round(x + w / 2)} {round(y + h / 2)}" for x, y, w, h in
  (n["frame"] for n in nodes if n["class"] == "UIBarButtonItem" and "image" in n)][0]') >/dev/null; }
eye
check "the mark-all alert" until_q '[n.get("text") for n in nodes if n.get("text") == "Mark all as read"]' "['Mark all as read']"
ui tap NO >/dev/null
check "NO marks nothing" until_q '[r.get("textColor") for r in rows].count("#FF0000FF")' 2
eye
ui tap Yes >/dev/null
check "Yes marks every row read and clears the badge" until_q \
  '([r.get("textColor") for r in rows], [n.get("badge") for n in nodes if n.get("text") == "Calls" and "badge" in n])' \
  "(['#000000FF', '#000000FF', '#000000FF'], [])"

# Delete: "NO" keeps the log, "Yes" leaves an empty dictionary.
ui tap Trash >/dev/null
check "the delete alert" until_q '[n.get("title") or n.get("text") for n in nodes if (n.get("title") or n.get("text")) in ("Yes", "NO")]' "['Yes', 'NO']"
ui tap NO >/dev/null
check "NO keeps the rows" until_q 'len(rows)' 3
ui tap Trash >/dev/null
ui tap Yes >/dev/null
check "Yes empties the list, which says so" until_q '(len(rows), [n["text"] for n in nodes if n.get("text") == "No blocked calls"])' \
  "(0, ['No blocked calls'])"
check "the log file holds an empty dictionary" \
  is "$(python3 -c 'import plistlib,sys; print(plistlib.load(open(sys.argv[1], "rb")))' "$PREFS/com.veltrane.calmoraBlockedCalls.plist")" "{}"

# Dark appearance: read rows white.
sim terminate "$APP" >/dev/null
sim appearance dark >/dev/null
sim call --name "Jane Roe" --contact "E2E0-0001:ABPerson" >/dev/null
sim post com.veltrane.calmo/markAllReadC >/dev/null
calls_read() {
  python3 -c 'import plistlib, sys; d = plistlib.load(open(sys.argv[1], "rb")); sys.exit(not d or not all(r.get("isRead") for r in d.values()))' \
    "$PREFS/com.veltrane.calmoraBlockedCalls.plist"
}
eventually calls_read || fail "markAllReadC did not mark the new call read"
listen "$WORK/active" com.veltrane.calmo/askTouchID --count 1 --timeout 15
sim launch "$APP" >/dev/null
wait "${PIDS[-1]}"
check "becoming active posts askTouchID" grep -q askTouchID "$WORK/active"
check "read rows are white in dark appearance" until_q '[r.get("textColor") for r in rows]' "['#FFFFFFFF']"
sim terminate "$APP" >/dev/null
sim appearance light >/dev/null

# Artwork that is a FIFO is no image: the viewer comes up without it.
art="$DEV/Library/PreferenceBundles/CalmoPrefs.bundle"
for f in calls notifications eye; do mv "$art/$f.png" "$WORK/$f.png" && mkfifo "$art/$f.png"; done
sim launch "$APP" >/dev/null
check "FIFOs as the artwork hold nothing" quietly ui wait "Calmora - Calls" --timeout 5
sim terminate "$APP" >/dev/null
for f in calls notifications eye; do rm -f "$art/$f.png" && mv "$WORK/$f.png" "$art/$f.png"; done

# isTouch on: black, and without a prompt the black says the log is locked.
settings on
sim launch "$APP" >/dev/null
notice='([n.get("backgroundColor") for n in nodes if n["class"] == "UIWindow"][:1], [n.get("text") or n.get("title") for n in nodes if n.get("text") == "The log is locked." or n.get("title") == "Unlock"])'
check "the lock covers the app in black, saying so, with Unlock" until_q "$notice" \
  "(['#000000FF'], ['The log is locked.', 'Unlock'])"
[ -n "$SHOTS" ] && ui screenshot "$SHOTS/lock.png" >/dev/null
sim terminate "$APP" >/dev/null

# With a face enrolled: the prompt over the black; success shows the tabs,
# cancel ends the app with status 0; other failures leave the black saying
# so, and "Unlock" asks again.
update "$DEV/Device.plist" 'Biometry="face", BiometryEnrolled=True, PasscodeSet=True'
sim launch "$APP" >/dev/null
check "the prompt asks to unlock Calmora" quietly ui wait "Unlock Calmora" --timeout 5
sim auth "$APP" success >/dev/null
check "success shows the tabs" quietly ui wait "Calls" --timeout 5
sim terminate "$APP" >/dev/null
sim launch "$APP" >/dev/null
ui wait "Unlock Calmora" --timeout 5 >/dev/null
sim auth "$APP" -1 >/dev/null
check "failed attempts used up leave the black saying so, with Unlock" until_q "$notice" \
  "(['#000000FF'], ['The log is locked.', 'Unlock'])"
for code in -4 -5 -8 -9; do
  quietly ui tap Unlock
  check "Unlock asks again" quietly ui wait "Unlock Calmora" --timeout 5
  sim auth "$APP" $code >/dev/null
  check "$code leaves Unlock" quietly ui wait Unlock --timeout 5
done
quietly ui tap Unlock
ui wait "Unlock Calmora" --timeout 5 >/dev/null
sim auth "$APP" success >/dev/null
check "success after Unlock shows the tabs" quietly ui wait "Calls" --timeout 5
sim terminate "$APP" >/dev/null
sim launch "$APP" >/dev/null
ui wait "Unlock Calmora" --timeout 5 >/dev/null
sim auth "$APP" -2 >/dev/null
ended() {
  sim apps | python3 -c 'import json,sys; a=[x for x in json.load(sys.stdin)["apps"] if x["bundle"]==sys.argv[1]]; sys.exit(0 if a and a[-1]["state"]=="ended" and a[-1].get("status")==0 else 1)' "$APP"
}
check "cancel ends the app with status 0" eventually ended

echo "viewer e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
