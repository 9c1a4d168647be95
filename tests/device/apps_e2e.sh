#!/usr/bin/env bash
# App processes from outside: install, launch, the home screen's icon tap,
# terminate, exit statuses, a respring ending the apps, the appearance.
# Usage: apps_e2e.sh BIN_DIR TEST_APP_BUNDLE (run under dbus-run-session).
set -uo pipefail
simctl=$1/simctl
bundle=$2
app=com.calmora.tests.exitapp
dir=$(mktemp -d /tmp/calmora-e2e-apps.XXXXXX)
stranger=
cleanup() {
  [[ -n "$stranger" ]] && kill "$stranger" 2>/dev/null
  "$simctl" shutdown "$dir" >/dev/null 2>&1
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  tail -20 "$dir/var/log/springboard.log" >&2 2>/dev/null
  exit 1
}
json() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
# The record of pid $1 in the apps listing.
record() { "$simctl" apps "$dir" | json "[a for a in d['apps'] if a['pid'] == $1]"; }
alive() { kill -0 "$1" 2>/dev/null && [[ "$(ps -o stat= -p "$1")" != Z* ]]; }

timeout 60 "$simctl" boot "$dir" >/dev/null || fail "boot"
"$simctl" install "$dir" "$bundle" | grep -q "\"installed\":\"$app\"" || fail "install"

# Launched once: a second launch finds it running.
pid=$(timeout 30 "$simctl" launch "$dir" "$app" | json 'd["pid"]') || fail "launch"
alive "$pid" || fail "the launched app is not running"
[[ $("$simctl" launch "$dir" "$app" | json 'd["pid"]') == "$pid" ]] || fail "a second launch started another process"
[[ $(record "$pid") == "[{'bundle': '$app', 'pid': $pid, 'state': 'running'}]" ]] || fail "apps: $(record "$pid")"
"$simctl" ui "$dir" "$app" tree | grep -q '"class":"UIWindow"' || fail "the app's tree"

"$simctl" terminate "$dir" "$app" >/dev/null || fail "terminate"
alive "$pid" && fail "terminate left the app running"
[[ $(record "$pid") == *"'signal': 15, 'state': 'ended'"* ]] || fail "terminated: $(record "$pid")"
[[ $("$simctl" terminate "$dir" "$app" 2>/dev/null | json 'd["code"]') == notRunning ]] || fail "terminate of an ended app"

# An app that ignores SIGTERM is killed after the grace period.
cp -r "$bundle" "$dir/Stubborn.app"
sed -i "s/$app/com.calmora.tests.stubborn/; s|<dict>|<dict><key>IgnoreTerm</key><true/>|" "$dir/Stubborn.app/Info.plist"
"$simctl" install "$dir" "$dir/Stubborn.app" >/dev/null || fail "install of a stubborn app"
pid=$(timeout 30 "$simctl" launch "$dir" com.calmora.tests.stubborn | json 'd["pid"]') || fail "launch of a stubborn app"
"$simctl" terminate "$dir" com.calmora.tests.stubborn >/dev/null || fail "terminate of a stubborn app"
[[ $(record "$pid") == *"'signal': 9, 'state': 'ended'"* ]] || fail "stubborn: $(record "$pid")"

# The home screen's icon starts it; an app that exits with 0 shows so.
"$simctl" ui "$dir" com.apple.springboard tree | grep -q '"text":"Exit App"' || fail "no icon in the home screen's tree"
pid=$("$simctl" ui "$dir" com.apple.springboard tap "Exit App" | json 'd["app"]["pid"]') || fail "tap on the icon"
for _ in $(seq 100); do "$simctl" ui "$dir" "$app" quit >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq 100); do [[ $(record "$pid") == *"'status': 0"* ]] && break; sleep 0.1; done
[[ $(record "$pid") == *"'state': 'ended', 'status': 0"* ]] || fail "exit(0): $(record "$pid")"

# An app that ends before it answers, one not installed, one whose program
# leads out of its bundle: launch exits 1.
cp -r "$bundle" "$dir/Three.app"
sed -i "s/$app/com.calmora.tests.three/; s|<dict>|<dict><key>ExitStatus</key><integer>3</integer>|" "$dir/Three.app/Info.plist"
"$simctl" install "$dir" "$dir/Three.app" >/dev/null || fail "install of a second app"
timeout 30 "$simctl" launch "$dir" com.calmora.tests.three >/dev/null 2>&1 && fail "an app that exited came up"
"$simctl" apps "$dir" | grep -q '"bundle":"com.calmora.tests.three","pid":[0-9]*,"state":"ended","status":3' ||
  fail "exit status 3: $("$simctl" apps "$dir")"
[[ $("$simctl" launch "$dir" com.calmora.nothere 2>/dev/null | json 'd["code"]') == notInstalled ]] ||
  fail "launch of an app not installed"
sed -i "s/com.calmora.tests.three/com.calmora.tests.out/; s|ExitApp<|../../../bin/sh<|" "$dir/Applications/Three.app/Info.plist"
touch "$dir/Applications"
[[ $("$simctl" launch "$dir" com.calmora.tests.out 2>/dev/null | json 'd["code"]') == noExecutable ]] ||
  fail "a program outside the bundle"

# The device's killall: a name ends this device's processes of that name
# (not a stranger's), backboardd restarts the home screen and ends the apps.
[[ -x "$dir/usr/bin/killall" ]] || fail "boot did not install killall"
mkdir "$dir/stranger" && cp /bin/sleep "$dir/stranger/ExitApp"
"$dir/stranger/ExitApp" 1000 &
stranger=$!
pid=$(timeout 30 "$simctl" launch "$dir" "$app" | json 'd["pid"]') || fail "launch before killall"
"$dir/usr/bin/killall" -9 ExitApp || fail "killall -9 ExitApp"
for _ in $(seq 100); do [[ $(record "$pid") == *"'signal': 9"* ]] && break; sleep 0.1; done
[[ $(record "$pid") == *"'signal': 9, 'state': 'ended'"* ]] || fail "killall -9: $(record "$pid")"
alive "$stranger" || fail "killall ended another device's process"
kill "$stranger"
stranger=
"$dir/usr/bin/killall" NoSuchProgram 2>/dev/null && fail "killall of nothing succeeded"
pid=$(timeout 30 "$simctl" launch "$dir" "$app" | json 'd["pid"]') || fail "launch before backboardd"
board=$(cat "$dir/run/springboard.pid")
"$dir/usr/bin/killall" -9 backboardd || fail "killall backboardd"
for _ in $(seq 200); do
  new=$(cat "$dir/run/springboard.pid" 2>/dev/null)
  [[ -n "$new" && "$new" != "$board" ]] && "$simctl" status "$dir" >/dev/null 2>&1 && break
  sleep 0.1
done
[[ -n "$new" && "$new" != "$board" ]] || fail "backboardd: the home screen did not restart"
alive "$board" && fail "backboardd: the old home screen still runs"
alive "$pid" && fail "the app survived backboardd"
"$simctl" status "$dir" | grep -q '"injected":\["AACalmora.so"\]' || fail "the hook library was not loaded anew"

# A respring ends the running apps.
pid=$(timeout 30 "$simctl" launch "$dir" "$app" | json 'd["pid"]') || fail "launch before the respring"
timeout 60 "$simctl" respring "$dir" >/dev/null || fail "respring"
alive "$pid" && fail "the app survived the respring"
[[ $("$simctl" apps "$dir") == '{"apps":[]}' ]] || fail "apps after the respring: $("$simctl" apps "$dir")"

# The appearance: written into the description, which keeps the rest, and
# announced on the device's bus.
"$simctl" listen "$dir" sim.device/appearance --count 1 --timeout 20 >"$dir/heard" 2>"$dir/listen.err" &
listener=$!
for _ in $(seq 200); do grep -q "listening on" "$dir/listen.err" && break; sleep 0.05; done
"$simctl" appearance "$dir" dark >/dev/null || fail "appearance"
wait "$listener" || fail "no appearance notification"
grep -q '"name":"sim.device/appearance"' "$dir/heard" || fail "heard: $(cat "$dir/heard")"
python3 - "$dir/Device.plist" <<'PY' || fail "Device.plist after appearance"
import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
assert d["Appearance"] == "dark" and d["ScreenWidth"] == 375, d
PY
"$simctl" appearance "$dir" dim >/dev/null 2>&1 && fail "an appearance that is neither light nor dark"
echo "apps end to end: ok"
