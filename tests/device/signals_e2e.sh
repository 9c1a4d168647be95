#!/usr/bin/env bash
# End to end over a real bus, with clients that are not the library:
# dbus-send and simctl post to ask, dbus-monitor and simctl listen to watch.
# Usage: signals_e2e.sh BIN_DIR (run under dbus-run-session).
set -euo pipefail
SIMCTL=$1/simctl
source "$(dirname "$0")/../support/e2e_prelude.sh"
post() { dbus-send --session --type=signal / sim.DistributedNotificationCenter.Post "$@"; }
status_is() { is "$("$SIMCTL" status "$DEV" | json "$1")" "$2"; }

key="A1B2C3D4-0000-4000-8000-00000000E2E0"
cat > "$PREFS/com.veltrane.calmoprefs.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>isTweakEnabled</key><true/><key>ignoretime</key><true/>
<key>$key</key><dict><key>isBlocked</key><true/><key>com.apple.mobilephoneCall</key><true/></dict>
</dict></plist>
PLIST

"$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
order=$("$SIMCTL" status "$DEV" | json '" ".join(i["class"] + "." + i["selector"] + ":" + i["kind"] for i in d["installations"])')
[[ "$order" == "UIStatusBarWindow.label:property UIStatusBarWindow.label:add UIStatusBarWindow.setLabel::add UIStatusBarWindow.loadNotificationIcon:add UIStatusBarWindow.setStatusBar::replace SBTelephonyManager.callEventHandler::replace TUCall.updateWithCall::replace BBServer.publishBulletin:destinations::replace SBHomeScreenViewController.viewDidAppear::replace SBHomeScreenViewController.launchApp::add" ]] \
  || fail "the ten installations in order: $order"

dbus-monitor --session "type='signal',interface='sim.DistributedNotificationCenter'" > "$DEV/monitor.txt" 2>/dev/null &
PIDS+=($!)
# Watching once it hears a post of its own.
monitor_hears() { post string:e2e.watching dict:string:string: && grep -q e2e.watching "$DEV/monitor.txt"; }
eventually monitor_hears || fail "dbus-monitor did not start"

# A blocked call: one record, the three postings in order.
out=$("$SIMCTL" call "$DEV" --name "Eve" --contact "$key:ABPerson")
[[ $(echo "$out" | json 'd["handedOn"]') == False ]] || fail "call was handed on: $out"
eventually grep -q 'com\.veltrane\.calmo/unreadCallCOunt' "$DEV/monitor.txt" || fail "no postings after a blocked call"
posted=$(grep -o 'string "com\.veltrane\.calmo/[A-Za-z]*"' "$DEV/monitor.txt" | sed 's/string "//; s/"$//' | tr '\n' ' ')
[[ "$posted" == "com.veltrane.calmo/show com.veltrane.calmo/unreadCall com.veltrane.calmo/tableRefresh com.veltrane.calmo/unreadCallCOunt "* ]] \
  || fail "postings after a blocked call: $posted"
[[ $("$SIMCTL" logs "$DEV" calls | grep -c 'Phone Call from Eve') == 1 ]] || fail "one record"

# unreadCall from dbus-send is answered with the count.
listen "$DEV/count.json" com.veltrane.calmo/unreadCallCOunt --count 1 --timeout 10
post string:com.veltrane.calmo/unreadCall dict:string:string:
wait $listener || fail "no unreadCallCOunt answer"
[[ $(json 'd["userInfo"]["badges"]' < "$DEV/count.json") == 1 ]] || fail "badges: $(cat "$DEV/count.json")"

# markReadC with the key from simctl post: hide once nothing is unread.
listen "$DEV/answer.json" com.veltrane.calmo/hide com.veltrane.calmo/show --count 1 --timeout 10
"$SIMCTL" post "$DEV" com.veltrane.calmo/markReadC key=0
wait $listener || fail "no answer to markReadC"
[[ $(json 'd["name"]' < "$DEV/answer.json") == com.veltrane.calmo/hide ]] || fail "markReadC answered $(cat "$DEV/answer.json")"
[[ $("$SIMCTL" status "$DEV" | json 'd["marker"]["visible"]') == False ]] || fail "marker still visible"

# simctl post to simctl listen: text escaped as JSON, its = signs kept.
listen "$DEV/any.json" sc.any --count 1 --timeout 10
"$SIMCTL" post "$DEV" sc.any 'text=Grüße "quoted"' "eq=a=b"
wait $listener || fail "simctl listen did not hear simctl post"
grep -qxF '{"name":"sc.any","userInfo":{"eq":"a=b","text":"Grüße \"quoted\""}}' "$DEV/any.json" \
  || fail "posted text as JSON: $(cat "$DEV/any.json")"
# How listen ends: a timeout with nothing heard is a failure, an interrupt is not.
rc=0; "$SIMCTL" listen "$DEV" sc.never --timeout 0.3 >/dev/null 2>&1 || rc=$?
[[ $rc == 1 ]] || fail "a listen that heard nothing exited $rc"
listen "$DEV/int.json"
kill -INT "$listener"; wait "$listener" || fail "SIGINT did not end listen with 0"
# Bad arguments are refused (2), a missing device is a failure (1).
for args in "post $DEV" "post $DEV sc.x novalue" "listen $DEV --count 0" "listen $DEV --timeout" "post $DEV/missing sc.x"; do
  rc=0; "$SIMCTL" $args >/dev/null 2>&1 || rc=$?
  [[ $rc == $([[ $args == *missing* ]] && echo 1 || echo 2) ]] || fail "simctl $args exited $rc"
done

# Open in app, after many appearances: launched once.
for _ in $(seq 10); do "$SIMCTL" appear "$DEV" >/dev/null; done
post string:CalmoraOpenInApp dict:string:string:bID,net.whatsapp.WhatsApp
eventually status_is 'd["launched"][:1]' "['net.whatsapp.WhatsApp']" || fail "not launched"
# Once a later post is answered, a second launch would have come.
listen "$DEV/later.json" com.veltrane.calmo/unreadCallCOunt --count 1 --timeout 10
post string:com.veltrane.calmo/unreadCall dict:string:string:
wait $listener || fail "no answer after CalmoraOpenInApp"
status_is 'd["launched"]' "['net.whatsapp.WhatsApp']" || fail "launched more than once"

# The marker: a showIcon signal after a settings change moves and shows it.
update "$PREFS/com.veltrane.calmoprefs.plist" 'xcoordinates=10, ycoordinates=20'
"$SIMCTL" post "$DEV" com.veltrane.calmoraprefs.showIcon
eventually status_is 'd["marker"]["visible"] and d["marker"]["frame"] == [37.5, 133.4, 10, 10]' True ||
  fail "marker after showIcon"
"$SIMCTL" screenshot "$DEV" "$DEV/shot.png" >/dev/null || fail "screenshot"
# The marker's red (#E22300) at its centre: 42.5, 138.4 points at scale 2.
marker=$(python3 "$(dirname "$0")/../support/png_pixel.py" "$DEV/shot.png" 85 277 |
  json 'd["size"] == [750, 1334] and abs(d["pixels"][0][0] - 0xE2) < 8 and d["pixels"][0][1] < 60 and d["pixels"][0][2] < 30')
[[ "$marker" == True ]] || fail "marker not in the screenshot"
echo "signals end to end: ok"
