#!/usr/bin/env bash
# App processes from outside: install, launch, the home screen's icon tap,
# terminate, exit statuses, a respring ending the apps, the appearance.
# Usage: apps_e2e.sh BIN_DIR TEST_APP_BUNDLE (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
bundle=$2
app=com.calmora.tests.exitapp
source "$(dirname "$0")/../support/e2e_prelude.sh"
# The record of pid $1 in the apps listing.
record() { sim apps | json "[a for a in d['apps'] if a['pid'] == $1]"; }

timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
sim install "$bundle" | grep -q "\"installed\":\"$app\"" || fail "install"

# Launched once: a second launch finds it running.
pid=$(sim launch "$app" | json 'd["pid"]') || fail "launch"
alive "$pid" || fail "the launched app is not running"
[[ $(sim launch "$app" | json 'd["pid"]') == "$pid" ]] || fail "a second launch started another process"
[[ $(record "$pid") == "[{'bundle': '$app', 'pid': $pid, 'state': 'running'}]" ]] || fail "apps: $(record "$pid")"
sim ui "$app" tree | grep -q '"class":"UIWindow"' || fail "the app's tree"

sim terminate "$app" >/dev/null || fail "terminate"
alive "$pid" && fail "terminate left the app running"
[[ $(record "$pid") == *"'signal': 15, 'state': 'ended'"* ]] || fail "terminated: $(record "$pid")"
[[ $(sim terminate "$app" 2>/dev/null | json 'd["code"]') == notRunning ]] || fail "terminate of an ended app"

# An app that ignores SIGTERM is killed after the grace period.
cp -r "$bundle" "$DEV/Stubborn.app"
# A name of its own: a tap by text takes the front-most of icons named alike.
sed -i "s/$app/com.calmora.tests.stubborn/; s/Exit App/Stubborn/; s|<dict>|<dict><key>IgnoreTerm</key><true/>|" "$DEV/Stubborn.app/Info.plist"
sim install "$DEV/Stubborn.app" >/dev/null || fail "install of a stubborn app"
pid=$(sim launch com.calmora.tests.stubborn | json 'd["pid"]') || fail "launch of a stubborn app"
sim terminate com.calmora.tests.stubborn >/dev/null || fail "terminate of a stubborn app"
[[ $(record "$pid") == *"'signal': 9, 'state': 'ended'"* ]] || fail "stubborn: $(record "$pid")"

# The home screen's icon starts it; an app that exits with 0 shows so.
sim ui com.apple.springboard tree | grep -q '"text":"Exit App"' || fail "no icon in the home screen's tree"
pid=$(sim ui com.apple.springboard tap "Exit App" | json 'd["app"]["pid"]') || fail "tap on the icon"
eventually --within 10 sim ui "$app" quit >/dev/null 2>&1
recorded() { [[ $(record "$1") == *"$2"* ]]; }
eventually --within 10 recorded "$pid" "'state': 'ended', 'status': 0" || fail "exit(0): $(record "$pid")"

# An app that ends before it answers, one not installed, one whose program
# leads out of its bundle: launch exits 1.
cp -r "$bundle" "$DEV/Three.app"
sed -i "s/$app/com.calmora.tests.three/; s|<dict>|<dict><key>ExitStatus</key><integer>3</integer>|" "$DEV/Three.app/Info.plist"
sim install "$DEV/Three.app" >/dev/null || fail "install of a second app"
sim launch com.calmora.tests.three >/dev/null 2>&1 && fail "an app that exited came up"
sim apps | grep -q '"bundle":"com.calmora.tests.three","pid":[0-9]*,"state":"ended","status":3' ||
  fail "exit status 3: $(sim apps)"
[[ $(sim launch com.calmora.nothere 2>/dev/null | json 'd["code"]') == notInstalled ]] ||
  fail "launch of an app not installed"
sed -i "s/com.calmora.tests.three/com.calmora.tests.out/; s|ExitApp<|../../../bin/sh<|" "$DEV/Applications/Three.app/Info.plist"
touch "$DEV/Applications"
[[ $(sim launch com.calmora.tests.out 2>/dev/null | json 'd["code"]') == noExecutable ]] ||
  fail "a program outside the bundle"

# The device's killall: a name ends the processes of that name this device
# started (its home screen and the apps it launched) and no other, even one
# of that name started with the device's folder; backboardd restarts the
# home screen and ends the apps.
[[ -x "$DEV/usr/bin/killall" ]] || fail "boot did not install killall"
mkdir "$DEV/stranger" && cp "$(command -v yes)" "$DEV/stranger/ExitApp"
"$DEV/stranger/ExitApp" "$DEV" >/dev/null &
stranger=$!
PIDS+=("$stranger")
yes "$DEV" >/dev/null &
users=$!
PIDS+=("$users")
"$DEV/usr/bin/killall" yes 2>/dev/null && fail "killall ended a process of the user's"
alive "$users" || fail "killall yes ended the user's yes"
pid=$(sim launch "$app" | json 'd["pid"]') || fail "launch before killall"
"$DEV/usr/bin/killall" -9 ExitApp || fail "killall -9 ExitApp"
eventually --within 10 recorded "$pid" "'signal': 9, 'state': 'ended'" || fail "killall -9: $(record "$pid")"
alive "$stranger" || fail "killall ended another device's process"
kill "$stranger"
"$DEV/usr/bin/killall" NoSuchProgram 2>/dev/null && fail "killall of nothing succeeded"
pid=$(sim launch "$app" | json 'd["pid"]') || fail "launch before backboardd"
board=$(cat "$DEV/run/springboard.pid")
"$DEV/usr/bin/killall" -9 backboardd || fail "killall backboardd"
new_home_screen "$board" || fail "backboardd: the home screen did not restart"
alive "$board" && fail "backboardd: the old home screen still runs"
alive "$pid" && fail "the app survived backboardd"
sim status | grep -q '"injected":\["AACalmora.so"\]' || fail "the hook library was not loaded anew"

# A respring ends the running apps.
pid=$(sim launch "$app" | json 'd["pid"]') || fail "launch before the respring"
timeout 60 "$SIMCTL" respring "$DEV" >/dev/null || fail "respring"
alive "$pid" && fail "the app survived the respring"
[[ $(sim apps | json 'd["apps"]') == '[]' ]] || fail "apps after the respring: $(sim apps)"

# The appearance: written into the description, which keeps the rest, and
# announced on the device's bus.
listen "$DEV/heard" sim.device/appearance --count 1 --timeout 20 || fail "listen"
sim appearance dark >/dev/null || fail "appearance"
wait "$listener" || fail "no appearance notification"
grep -q '"name":"sim.device/appearance"' "$DEV/heard" || fail "heard: $(cat "$DEV/heard")"
python3 - "$DEV/Device.plist" <<'PY' || fail "Device.plist after appearance"
import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
assert d["Appearance"] == "dark" and d["ScreenWidth"] == 375, d
PY
sim appearance dim >/dev/null 2>&1 && fail "an appearance that is neither light nor dark"
echo "apps end to end: ok"
