#!/usr/bin/env bash
# The phone's own apps as a person uses them: every icon of the home screen
# opens a running app, and a bundle without a program says so; a person added
# through Contacts' screens is listed in the pane, blocked there, and their
# next call is blocked without a respring; Recents shows answered, declined
# and missed calls as they were (missed in red), in light and dark; a
# conversation shows its messages in order and opening it marks it opened.
# With SCREENSHOT_DIR, Recents and a conversation are kept there for the README.
# Usage: phone_apps_e2e.sh BIN_DIR [SCREENSHOT_DIR]   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
SHOTS=${2:-}
source "$(dirname "$0")/../support/e2e_prelude.sh"
PIXEL=$(dirname "$0")/../support/png_pixel.py
CONTACTS=com.apple.MobileAddressBook
PHONE=com.apple.mobilephone
SETTINGS=com.apple.Preferences
WHATSAPP=net.whatsapp.WhatsApp
# pixel FILE X Y: the [r, g, b] at a point (in points, scale 2).
pixel() { python3 "$PIXEL" "$1" $((2 * $2)) $((2 * $3)) | json 'd["pixels"][0][:3]'; }
# frame_of PYTHON-CONDITION: the first shown node's frame the condition picks, as "x y w h".
frame_of() { q "' '.join(str(int(v)) for v in [n['frame'] for n in nodes if $1][0])"; }

python3 -c 'import plistlib, sys
plistlib.dump({"isTweakEnabled": True, "ignoretime": True, "methodspecifier": 0}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"

# Every icon opens a running app; Home between them.
icons=$(home tree | json '" ".join(n["identifier"] for n in (lambda f: f(f, d["tree"]))(lambda f, n: ([n] if n["class"] == "SBIconView" else []) + [m for c in n.get("children", []) for m in f(f, c)]))')
[[ $(wc -w <<<"$icons") -ge 13 ]] || fail "too few icons: $icons"
for id in $icons; do
  pid=$(home tap --id "$id" | json 'd["app"]["pid"]' 2>/dev/null)
  check "the icon $id opens a running app" eval '[[ -n $pid ]] && alive "$pid"'
  sim home >/dev/null
done
# A bundle installed without a program: the tap says so instead of nothing.
mkdir -p "$DEV/Applications/Empty.app"
python3 -c 'import plistlib, sys
plistlib.dump({"CFBundleIdentifier": "org.example.empty", "CFBundleDisplayName": "Empty"}, open(sys.argv[1], "wb"))' \
  "$DEV/Applications/Empty.app/Info.plist"
check "a bundle without a program answers noExecutable" is "$(home tap --id org.example.empty | json 'd.get("launchError")')" noExecutable
check "and its tap shows an alert" eval 'home wait "“Empty” Cannot Open" | grep -q "\"found\":true"'
home tap OK >/dev/null

# Contacts: "+", the form, Done; the list shows the person.
APP=$CONTACTS
sim launch "$APP" >/dev/null && ui wait Contacts >/dev/null || fail "Contacts"
check "a fresh device's book is empty" is "$(q 'sum(1 for n in rows)')" 0
read -r x y w h <<<"$(frame_of 'n["class"] == "UIBarButtonItem" and "image" in n')"
ui tap --at $((x + w / 2)) $((y + h / 2)) >/dev/null && ui wait "New Contact" >/dev/null || fail "the form: +"
ui tap --id givenName >/dev/null && ui type Mallory >/dev/null
ui tap --id familyName >/dev/null && ui type Evil >/dev/null
ui tap "add phone" >/dev/null && ui type "+1 555 0100" >/dev/null
ui tap Done >/dev/null
check "the new person is listed" eval 'ui wait "Mallory Evil" | grep -q "\"found\":true"'
person=$(sim contacts list | json '[c for c in d["contacts"] if c["givenName"] == "Mallory"][0]')
id=$(json 'd["identifier"]' <<<"${person//\'/\"}")
check "saved with the number and its label" is "$(sim contacts list | json '[(p["label"], p["value"]) for c in d["contacts"] for p in c["phones"]]')" "[('mobile', '+1 555 0100')]"
# The list in dark reads, its name light on dark.
sim appearance dark >/dev/null
ui screenshot "$WORK/contacts-dark.png" >/dev/null
read -r x y w h <<<"$(frame_of 'n.get("text") == "Mallory Evil"')"
check "the list reads in dark" python3 -c 'import sys; bg = eval(sys.argv[1]); print(bg); sys.exit(max(bg) > 60)' \
  "$(pixel "$WORK/contacts-dark.png" $((x - 4)) $((y + h / 2)))"
sim appearance light >/dev/null
sim terminate "$APP" >/dev/null

# The pane lists the person at once, blocks them, and the hook library
# blocks their next call: no respring.
APP=$SETTINGS
sim launch "$APP" >/dev/null && ui wait Calmora >/dev/null && ui tap Calmora >/dev/null && ui wait Contacts >/dev/null ||
  fail "the pane"
ui tap Contacts >/dev/null
check "the pane lists the person" eval 'ui wait "Mallory Evil" | grep -q "\"found\":true"'
ui tap "Mallory Evil" >/dev/null && ui wait Blocked >/dev/null && ui toggle Blocked >/dev/null
ui tap "Block Apps" >/dev/null && ui wait Phone >/dev/null && ui toggle Phone >/dev/null && ui back >/dev/null
ui wait Save >/dev/null && ui tap Save >/dev/null && ui wait "Setting saved." >/dev/null && ui tap Ok >/dev/null
sim terminate "$APP" >/dev/null
check "their next call is blocked" eval '! sim call --name "Mallory Evil" --contact "$id" | grep -q "\"handedOn\":true"'
check "another person's call is not" eval 'sim call --name "Alice Friend" | grep -q "\"handedOn\":true"'
sim end >/dev/null  # Alice hangs up while it rings
# The blocked call in the log viewer: "Open in App" opens Phone.
APP=com.veltrane.calmora
sim launch "$APP" >/dev/null && ui tap --row 0 >/dev/null && ui wait "Open in App" >/dev/null && ui tap "Open in App" >/dev/null
check "Open in App opens the record's app" eventually eval '[[ $(sim apps | json "d.get(\"front\")") == $PHONE ]]'
sim terminate "$APP" >/dev/null; sim terminate $PHONE >/dev/null

# Recents: an answered, a declined and a missed call, newest first, the
# missed one in red; the blocked call is none of them.
sim call --name "Ann Answered" >/dev/null && sim answer >/dev/null && sim end >/dev/null &&
  sim call --name "Dan Declined" >/dev/null && sim decline >/dev/null &&
  sim call --name "Mia Missed" >/dev/null && sim end >/dev/null || fail "the calls"
APP=$PHONE
sim launch "$APP" >/dev/null && ui wait "Mia Missed" >/dev/null || fail "Recents"
for style in light dark; do
  sim appearance $style >/dev/null
  ui screenshot "$WORK/recents-$style.png" >/dev/null
  check "Recents lists the three, newest first ($style)" is "$(q '[n["text"] for n in rows][:3]')" "['Mia Missed', 'Dan Declined', 'Ann Answered']"
  check "the blocked call is no recent ($style)" is "$(q '[n["text"] for n in rows if n["text"] == "Mallory Evil"]')" "[]"
  check "marked as they were ($style)" is "$(q '[n["detail"].split(" · ")[-1] for n in rows][:3]')" "['Missed', 'Declined', 'Answered']"
  check "the missed one in red ($style)" is "$(q '[int(n["textColor"][1:3], 16) > 200 and int(n["textColor"][3:5], 16) < 120 for n in nodes if n["class"] == "UILabel" and n.get("text") in ("Mia Missed", "Dan Declined")]')" "[True, False]"
  [ -n "$SHOTS" ] && cp "$WORK/recents-$style.png" "$SHOTS/recents-$style.png"
done
read -r x y w h <<<"$(frame_of 'n["class"] == "UISegmentedControl"')"
ui tap --at $((x + w * 3 / 4)) $((y + h / 2)) >/dev/null
check "Missed shows only the missed calls" is "$(q '[n["text"] for n in rows]')" "['Mia Missed', 'Alice Friend']"
sim appearance light >/dev/null
sim terminate "$APP" >/dev/null

# A conversation: its messages oldest first; opening it clears the app's badge.
badge() { home tree | json '[n.get("badge", 0) for n in (lambda f: f(f, d["tree"]))(lambda f, n: ([n] if n.get("identifier") == "'$1'" else []) + [m for c in n.get("children", []) for m in f(f, c)])][0]'; }
for text in one two three; do
  sim bulletin --section $WHATSAPP --title Bea --message $text | grep -q '"handedOn":true' || fail "the message $text"
done
sim home >/dev/null
check "WhatsApp's icon counts the three" eventually eval '[[ $(badge $WHATSAPP) == 3 ]]'
APP=$WHATSAPP
sim launch "$APP" >/dev/null && ui wait Bea >/dev/null || fail "WhatsApp"
ui screenshot "$WORK/chats.png" >/dev/null
read -r x y w h <<<"$(frame_of 'n["class"] == "UIImageView" and "image" in n')"
check "the conversation is marked unread" python3 -c 'import sys; r, g, b = eval(sys.argv[1]); sys.exit(not (b > 200 and r < 80))' \
  "$(pixel "$WORK/chats.png" $((x + w / 2)) $((y + h / 2)))"
ui tap Bea >/dev/null && ui wait three >/dev/null || fail "the conversation"
check "its messages in order" is "$(q '[n["text"] for n in nodes if n["class"] == "UILabel" and n.get("text") in ("one", "two", "three")]')" "['one', 'two', 'three']"
for style in light dark; do
  sim appearance $style >/dev/null
  ui screenshot "$WORK/conversation-$style.png" >/dev/null
  [ -n "$SHOTS" ] && cp "$WORK/conversation-$style.png" "$SHOTS/conversation-$style.png"
done
sim appearance light >/dev/null
check "opening it cleared the badge" eventually eval '[[ $(badge $WHATSAPP) == 0 ]]'
ui back >/dev/null
check "and the unread mark" eventually eval 'ui screenshot "$WORK/chats.png" >/dev/null && python3 -c "import sys; r, g, b = eval(sys.argv[1]); sys.exit(b > 200 and r < 80)" "$(pixel "$WORK/chats.png" $((x + w / 2)) $((y + h / 2)))"'

# A book damaged by hand while Contacts runs: it shows what it can read, says
# what it could not, and never writes the damaged book.
printf 'BEGIN:VCARD\r\nN:Cut;Carl;;;\r\n' >>"$BOOK"
cp "$BOOK" "$WORK/damaged.vcf"
APP=$CONTACTS
sim launch "$APP" >/dev/null && ui wait "Carl Cut" >/dev/null || fail "Contacts on a damaged book"
check "the list says what it could not read" is "$(q 'any("could not be read" in n.get("text", "") for n in nodes)')" True
read -r x y w h <<<"$(frame_of 'n["class"] == "UIBarButtonItem" and "image" in n')"
ui tap --at $((x + w / 2)) $((y + h / 2)) >/dev/null && ui wait "New Contact" >/dev/null
ui tap --id givenName >/dev/null && ui type Nobody >/dev/null && ui tap Done >/dev/null
check "saving says it cannot" eventually eval '[[ $(q '"'"'any("Cannot Save Contact" in (n.get("text", ""), n.get("title", "")) for n in nodes)'"'"') == True ]]'
check "and the damaged book is as it was" cmp -s "$BOOK" "$WORK/damaged.vcf"
check "simctl refuses to write it too" eval '! sim contacts add "{\"givenName\": \"X\"}" 2>/dev/null'
check "JSON that is no person exits 2" eval 'sim contacts add "[1]" 2>/dev/null; [[ $? == 2 ]]'

echo "phone apps end to end: $passed passed, $failed failed"
((failed == 0))
