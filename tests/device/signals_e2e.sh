#!/usr/bin/env bash
# End to end over a real bus, with clients that are not the library:
# dbus-send and simctl post to ask, dbus-monitor and simctl listen to watch.
# Usage: signals_e2e.sh BIN_DIR (run under dbus-run-session).
set -euo pipefail
bin=$1
simctl="$bin/simctl"
dir=$(mktemp -d /tmp/calmora-e2e-signals.XXXXXX)
monitor_pid=
cleanup() {
  [[ -n "$monitor_pid" ]] && kill "$monitor_pid" 2>/dev/null || true
  "$simctl" shutdown "$dir" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [[ -f "$dir/var/log/springboard.log" ]] && tail -20 "$dir/var/log/springboard.log" >&2; exit 1; }
# Starts simctl listen in the background and returns once it is subscribed.
listen_bg() {
  local out=$1; shift
  "$simctl" listen "$dir" "$@" > "$out" 2> "$out.err" &
  listener=$!
  for _ in $(seq 100); do grep -q 'listening on' "$out.err" 2>/dev/null && return 0; sleep 0.05; done
  fail "simctl listen did not subscribe"
}
json() { python3 -c 'import json,sys; d=json.load(sys.stdin); print(eval(sys.argv[1], {}, {"d": d}))' "$1"; }

key="A1B2C3D4-0000-4000-8000-00000000E2E0"
mkdir -p "$dir/var/mobile/Library/Preferences" "$dir/var/mobile/Library/AddressBook"
cat > "$dir/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>isTweakEnabled</key><true/><key>ignoretime</key><true/>
<key>$key</key><dict><key>isBlocked</key><true/><key>com.apple.mobilephoneCall</key><true/></dict>
</dict></plist>
PLIST

"$simctl" boot "$dir" >/dev/null || fail "boot"
order=$("$simctl" status "$dir" | json '" ".join(i["class"] + "." + i["selector"] + ":" + i["kind"] for i in d["installations"])')
[[ "$order" == "UIStatusBarWindow.label:property UIStatusBarWindow.label:add UIStatusBarWindow.setLabel::add UIStatusBarWindow.loadNotificationIcon:add UIStatusBarWindow.setStatusBar::replace SBTelephonyManager.callEventHandler::replace TUCall.updateWithCall::replace BBServer.publishBulletin:destinations::replace SBHomeScreenViewController.viewDidAppear::replace SBHomeScreenViewController.launchApp::add" ]] \
  || fail "the ten installations in order: $order"

dbus-monitor --session "type='signal',interface='sim.DistributedNotificationCenter'" > "$dir/monitor.txt" 2>/dev/null &
monitor_pid=$!
sleep 0.5

# A blocked call: one record, the three postings in order.
out=$("$simctl" call "$dir" --name "Eve" --contact "$key:ABPerson")
[[ $(echo "$out" | json 'd["handedOn"]') == False ]] || fail "call was handed on: $out"
sleep 0.5
posted=$(grep -o 'string "com\.veltrane\.calmo/[A-Za-z]*"' "$dir/monitor.txt" | sed 's/string "//; s/"$//' | tr '\n' ' ')
[[ "$posted" == "com.veltrane.calmo/show com.veltrane.calmo/unreadCall com.veltrane.calmo/tableRefresh com.veltrane.calmo/unreadCallCOunt "* ]] \
  || fail "postings after a blocked call: $posted"
[[ $("$simctl" logs "$dir" calls | grep -c 'Phone Call from Eve') == 1 ]] || fail "one record"

# unreadCall from dbus-send is answered with the count.
listen_bg "$dir/count.json" com.veltrane.calmo/unreadCallCOunt --count 1 --timeout 10
dbus-send --session --type=signal / sim.DistributedNotificationCenter.Post \
  string:com.veltrane.calmo/unreadCall dict:string:string:
wait $listener || fail "no unreadCallCOunt answer"
[[ $(json 'd["userInfo"]["badges"]' < "$dir/count.json") == 1 ]] || fail "badges: $(cat "$dir/count.json")"

# markReadC with the key from simctl post: hide once nothing is unread.
listen_bg "$dir/answer.json" com.veltrane.calmo/hide com.veltrane.calmo/show --count 1 --timeout 10
"$simctl" post "$dir" com.veltrane.calmo/markReadC key=0
wait $listener || fail "no answer to markReadC"
[[ $(json 'd["name"]' < "$dir/answer.json") == com.veltrane.calmo/hide ]] || fail "markReadC answered $(cat "$dir/answer.json")"
[[ $("$simctl" status "$dir" | json 'd["marker"]["visible"]') == False ]] || fail "marker still visible"

# simctl post to simctl listen: text escaped as JSON, its = signs kept.
listen_bg "$dir/any.json" sc.any --count 1 --timeout 10
"$simctl" post "$dir" sc.any 'text=Grüße "quoted"' "eq=a=b"
wait $listener || fail "simctl listen did not hear simctl post"
grep -qxF '{"name":"sc.any","userInfo":{"eq":"a=b","text":"Grüße \"quoted\""}}' "$dir/any.json" \
  || fail "posted text as JSON: $(cat "$dir/any.json")"
# How listen ends: a timeout with nothing heard is a failure, an interrupt is not.
rc=0; "$simctl" listen "$dir" sc.never --timeout 0.3 >/dev/null 2>&1 || rc=$?
[[ $rc == 1 ]] || fail "a listen that heard nothing exited $rc"
listen_bg "$dir/int.json"
kill -INT "$listener"; wait "$listener" || fail "SIGINT did not end listen with 0"
# Bad arguments are refused (2), a missing device is a failure (1).
for args in "post $dir" "post $dir sc.x novalue" "listen $dir --count 0" "listen $dir --timeout" "post $dir/missing sc.x"; do
  rc=0; "$simctl" $args >/dev/null 2>&1 || rc=$?
  [[ $rc == $([[ $args == *missing* ]] && echo 1 || echo 2) ]] || fail "simctl $args exited $rc"
done

# Open in app, after many appearances: launched once.
for _ in $(seq 10); do "$simctl" appear "$dir" >/dev/null; done
dbus-send --session --type=signal / sim.DistributedNotificationCenter.Post \
  string:CalmoraOpenInApp dict:string:string:bID,net.whatsapp.WhatsApp
sleep 0.5
[[ $("$simctl" status "$dir" | json 'd["launched"]') == "['net.whatsapp.WhatsApp']" ]] || fail "launched: $("$simctl" status "$dir")"

# The marker: a showIcon signal after a settings change moves and shows it.
python3 - "$dir" <<'PY'
import plistlib, sys
p = sys.argv[1] + "/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist"
d = plistlib.load(open(p, "rb")); d["xcoordinates"] = 10; d["ycoordinates"] = 20
plistlib.dump(d, open(p + ".tmp", "wb"), fmt=plistlib.FMT_BINARY)
import os; os.replace(p + ".tmp", p)
PY
"$simctl" post "$dir" com.veltrane.calmoraprefs.showIcon
sleep 0.5
marker=$("$simctl" status "$dir" | json 'd["marker"]["visible"] and d["marker"]["frame"] == [37.5, 133.4, 10, 10]')
[[ "$marker" == True ]] || fail "marker after showIcon: $("$simctl" status "$dir")"
"$simctl" screenshot "$dir" "$dir/shot.png" >/dev/null || fail "screenshot"
# The marker's red (#E22300) at its centre: 42.5, 138.4 points at scale 2.
marker=$(python3 "$(dirname "$0")/../support/png_pixel.py" "$dir/shot.png" 85 277 |
  json 'd["size"] == [750, 1334] and abs(d["pixels"][0][0] - 0xE2) < 8 and d["pixels"][0][1] < 60 and d["pixels"][0][2] < 30')
[[ "$marker" == True ]] || fail "marker not in the screenshot"
echo "signals end to end: ok"
