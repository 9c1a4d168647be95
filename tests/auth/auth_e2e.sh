#!/usr/bin/env bash
# An app on a booted device: its sounds reach the device's record with its
# name, simctl auth answers its prompt, and killall -9 backboardd started
# from it restarts the home screen and ends it.
# Usage: auth_e2e.sh BIN_DIR PROBE_BUNDLE (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
bundle=$2
APP=sim.test.authprobe
source "$(dirname "$0")/../support/e2e_prelude.sh"
# The probe's status line.
status() { q 'next((n.get("text", "") for n in nodes if n.get("identifier") == "status"), "")'; }
until_status() { eventually --within 10 gives "$1" status >/dev/null; }

timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
update "$DEV/Device.plist" 'Biometry="face", BiometryEnrolled=True, PasscodeSet=True' || fail "Device.plist"
sim install "$bundle" >/dev/null || fail "install"
pid=$(sim launch "$APP" | json 'd["pid"]') || fail "launch"

# A sound of the app joins the home screen's record with the app's name.
ui tap Sound >/dev/null || fail "tap Sound"
sounded() { sim status | json 'list(zip(d["sounds"], d["soundProcesses"]))' | grep -q "(1104, '$APP')"; }
eventually --within 10 sounded || fail "the app's sound: $(sim status)"

# simctl auth answers the open prompt, and says when there is none.
[[ $(sim auth com.apple.springboard success 2>/dev/null | json 'd["code"]') == noPrompt ]] ||
  fail "auth without a prompt"
ui tap Owner >/dev/null || fail "tap Owner"
ui wait "Face ID" --timeout 5 >/dev/null || fail "no prompt"
sim auth "$APP" -2 >/dev/null || fail "simctl auth -2"
until_status "1:-2:other" || fail "the reply to simctl auth: $(status)"

# killall started from the app restarts the home screen (a new process that
# loads the hook library anew) and ends the app.
board=$(cat "$DEV/run/springboard.pid")
respring_by Respring || fail "the home screen did not restart"
alive "$board" && fail "the old home screen still runs"
eventually gone "$pid" || fail "the app survived"
sim status | grep -q '"injected":\["AACalmora.so"\]' || fail "the hook library was not loaded anew"
echo "auth end to end: ok"
