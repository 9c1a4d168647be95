#!/usr/bin/env bash
# An app on a booted device: its sounds reach the device's record with its
# name, simctl auth answers its prompt, and killall -9 backboardd started
# from it restarts the home screen and ends it.
# Usage: auth_e2e.sh BIN_DIR PROBE_BUNDLE (run under dbus-run-session).
set -uo pipefail
simctl=$1/simctl
bundle=$2
app=sim.test.authprobe
dir=$(mktemp -d /tmp/calmora-e2e-auth.XXXXXX)
cleanup() {
  "$simctl" shutdown "$dir" >/dev/null 2>&1
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  tail -20 "$dir/var/log/springboard.log" "$dir/var/log/$app.log" >&2 2>/dev/null
  exit 1
}
json() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
alive() { kill -0 "$1" 2>/dev/null && [[ "$(ps -o stat= -p "$1")" != Z* ]]; }
# The probe's status line.
status() {
  "$simctl" ui "$dir" "$app" tree | python3 -c '
import json, sys
def walk(n):
    if n.get("identifier") == "status":
        return n.get("text", "")
    return next((t for t in map(walk, n.get("children", [])) if t is not None), None)
print(walk(json.load(sys.stdin)["tree"]) or "")'
}
until_status() {
  for _ in $(seq 100); do [[ $(status) == "$1" ]] && return 0; sleep 0.1; done
  return 1
}

timeout 60 "$simctl" boot "$dir" >/dev/null || fail "boot"
python3 - "$dir/Device.plist" <<'PY' || fail "Device.plist"
import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
d.update(Biometry="face", BiometryEnrolled=True, PasscodeSet=True)
plistlib.dump(d, open(sys.argv[1], "wb"))
PY
"$simctl" install "$dir" "$bundle" >/dev/null || fail "install"
pid=$(timeout 30 "$simctl" launch "$dir" "$app" | json 'd["pid"]') || fail "launch"

# A sound of the app joins the home screen's record with the app's name.
"$simctl" ui "$dir" "$app" tap Sound >/dev/null || fail "tap Sound"
for _ in $(seq 100); do
  "$simctl" status "$dir" | json 'list(zip(d["sounds"], d["soundProcesses"]))' | grep -q "(1104, '$app')" && break
  sleep 0.1
done
"$simctl" status "$dir" | json 'list(zip(d["sounds"], d["soundProcesses"]))' | grep -q "(1104, '$app')" ||
  fail "the app's sound: $("$simctl" status "$dir")"

# simctl auth answers the open prompt, and says when there is none.
[[ $("$simctl" auth "$dir" com.apple.springboard success 2>/dev/null | json 'd["code"]') == noPrompt ]] ||
  fail "auth without a prompt"
"$simctl" ui "$dir" "$app" tap Owner >/dev/null || fail "tap Owner"
"$simctl" ui "$dir" "$app" wait "Face ID" --timeout 5 >/dev/null || fail "no prompt"
"$simctl" auth "$dir" "$app" -2 >/dev/null || fail "simctl auth -2"
until_status "1:-2:other" || fail "the reply to simctl auth: $(status)"

# killall started from the app restarts the home screen (a new process that
# loads the hook library anew) and ends the app.
board=$(cat "$dir/run/springboard.pid")
"$simctl" ui "$dir" "$app" tap Respring >/dev/null || fail "tap Respring"
for _ in $(seq 200); do
  new=$(cat "$dir/run/springboard.pid" 2>/dev/null)
  [[ -n "$new" && "$new" != "$board" ]] && "$simctl" status "$dir" >/dev/null 2>&1 && break
  sleep 0.1
done
[[ -n "$new" && "$new" != "$board" ]] || fail "the home screen did not restart"
alive "$board" && fail "the old home screen still runs"
for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
alive "$pid" && fail "the app survived"
"$simctl" status "$dir" | grep -q '"injected":\["AACalmora.so"\]' || fail "the hook library was not loaded anew"
echo "auth end to end: ok"
