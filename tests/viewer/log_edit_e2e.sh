#!/usr/bin/env bash
# Deleting one record and searching, from outside: calls blocked by the
# library, the viewer driven with simctl ui, the log read back with plistlib.
# Usage: log_edit_e2e.sh BIN_DIR [SCREENSHOT_DIR]   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
SHOTS=${2:-}
APP=com.veltrane.calmora
source "$(dirname "$0")/../support/e2e_prelude.sh"
until_q() { eventually gives "$2" q "$1"; }  # until_q EXPR WANT: 5 s at most
LOG=$PREFS/com.veltrane.calmoraBlockedCalls.plist
# The log as plistlib reads it: its keys in order, and each record's caller.
callers() {
  python3 -c 'import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
print(sorted(d, key=int), [d[k]["From"] for k in sorted(d, key=int)])' "$LOG"
}
badge='[n.get("badge") for n in nodes if n.get("text") == "Calls" and "badge" in n]'
texts='[r.get("text") for r in rows]'

python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
rule = dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)
plistlib.dump({"isTweakEnabled": True, "methodspecifier": 0, "ignoretime": True,
               "E2E0-0001": rule, "E2E0-0002": rule, "E2E0-0003": rule}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
for c in "1 Roe Jane" "2 Quinn Zoë" "3 Evil Mallory"; do
  set -- $c
  printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:%s;%s;;;\r\nFN:%s %s\r\nUID:E2E0-000%s\r\nTEL:+1 555 010%s\r\nEND:VCARD\r\n' \
    "$2" "$3" "$3" "$2" "$1" "$1" >>"$BOOK"
done
sim boot >/dev/null || fail boot
sim appear >/dev/null
# A caller's blocked calls closer than a second are one call to the library.
for who in "Jane Roe:1" "Zoë Quinn:2" "Mallory Evil:3" "Jane Roe:1"; do
  sim call --name "${who%:*}" --contact "E2E0-000${who#*:}:ABPerson" >/dev/null
  later
done
until_log() { eventually gives "$1" callers; }  # until_log WANT: 5 s at most
check "the library logged four calls" until_log \
  "['0', '1', '2', '3'] ['Jane Roe', 'Zoë Quinn', 'Mallory Evil', 'Jane Roe']"

sim launch "$APP" >/dev/null || fail launch
until_q 'len(rows)' 4 || fail "the list did not show"

# Search: part of the name, another case, no accent; a filtered row opens
# its own record; Cancel, shown while the field is in use, shows every row again.
cancels='[n.get("title") for n in nodes if n.get("title") == "Cancel"]'
check "no Cancel before the field is tapped" until_q "$cancels" "[]"
ui tap --id SearchField >/dev/null
check "the field tapped shows Cancel" until_q "$cancels" "['Cancel']"
ui type "ZOE q" >/dev/null
check "the search finds Zoë by 'ZOE q'" until_q "$texts" "['Phone Call from Zoë Quinn']"
[ -n "$SHOTS" ] && ui screenshot "$SHOTS/search.png" >/dev/null
ui tap --row 0 >/dev/null
check "the filtered row opens Zoë's record" until_q \
  '[n.get("detail") for n in nodes if n.get("text") == "From" and "detail" in n]' "['Zoë Quinn']"
ui back >/dev/null
ui tap --id SearchField >/dev/null
ui type "x" >/dev/null
check "text no record holds shows no row" until_q 'len(rows)' 0
ui tap Cancel >/dev/null
check "Cancel shows every row" until_q 'len(rows)' 4
check "and goes" until_q "$cancels" "[]"
check "three unread" until_q "$badge" "['3']"

# A swipe from the right shows Delete; Delete removes exactly that record.
ui swipe --row 1 >/dev/null
if [ -n "$SHOTS" ]; then
  ui screenshot "$SHOTS/swiped.png" >/dev/null
  sim appearance dark >/dev/null
  ui wait Delete >/dev/null
  ui screenshot "$SHOTS/swiped-dark.png" >/dev/null
  sim appearance light >/dev/null
fi
ui tap Delete >/dev/null
check "Delete removes Mallory's record and renumbers" until_log \
  "['0', '1', '2'] ['Jane Roe', 'Zoë Quinn', 'Jane Roe']"
check "the list and the badge follow" until_q "($texts, $badge)" \
  "(['Phone Call from Jane Roe', 'Phone Call from Zoë Quinn', 'Phone Call from Jane Roe'], ['2'])"
ui swipe --row 0 >/dev/null
ui swipe --row 0 --right >/dev/null
check "a swipe back puts Delete away" until_q '[n for n in nodes if n.get("title") == "Delete"]' "[]"

# The log changes under the list (another program drops the first record
# and renumbers, telling no one): Delete still takes the record the row showed.
python3 -c 'import plistlib, sys, os
d = plistlib.load(open(sys.argv[1], "rb"))
d = {str(int(k) - 1): v for k, v in d.items() if k != "0"}
plistlib.dump(d, open(sys.argv[1] + ".tmp", "wb")); os.replace(sys.argv[1] + ".tmp", sys.argv[1])' "$LOG"
ui swipe --row 1 >/dev/null
ui tap Delete >/dev/null
check "a stale row deletes the record it showed, not a neighbour" until_log "['0'] ['Jane Roe']"

# Edit mode: the red control, then Delete; the last unread record gone, the
# marker is asked to hide.
listen "$WORK/hide" com.veltrane.calmo/hide --count 1 --timeout 15
ui tap Edit >/dev/null
[ -n "$SHOTS" ] && ui screenshot "$SHOTS/editing.png" >/dev/null
ui tap --id DeleteControl >/dev/null
ui tap Delete >/dev/null
wait "${PIDS[-1]}"
check "Edit mode's Delete empties the log" until_log "[] []"
check "the list and the badge follow" until_q "(len(rows), $badge)" "(0, [])"
check "the marker is hidden" grep -q '/hide' "$WORK/hide"

echo "log edit e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
