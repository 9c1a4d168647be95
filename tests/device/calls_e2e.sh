#!/usr/bin/env bash
# Calls as a person sees them: a blocked call never shows the call screen; an
# allowed one rings over the app in front, is answered (its time runs) and
# ended by End, and the app is in front again; a second call waits behind
# the first; every call ends in the call history.
# Usage: calls_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"

python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": True, "D-1": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)},
              open(sys.argv[1], "wb"))' "$PREFS/com.veltrane.calmoprefs.plist"
sim boot >/dev/null || fail "boot"
sim launch "$APP" >/dev/null || fail "launch Settings"
shown() { sim apps | json 'd["shown"]'; }
# now_is FUNCTION VALUE: what FUNCTION prints is VALUE, asked anew at each call.
now_is() { is "$($1)" "$2"; }
settings=$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')
home_pid=$(cat "$DEV/run/springboard.pid")
check "Settings is in front" eventually now_is shown "$settings"

# What the home screen shows of the call screen: its labels' texts, or nothing.
call_screen() {
  home tree | python3 -c '
import json, sys
def walk(n, inside=False):
    if not n.get("visible", True): return
    inside = inside or n["class"] == "SBCallScreenView"
    if inside and (n.get("text") or n.get("title")): yield n.get("text") or n["title"]
    for c in n.get("children", []): yield from walk(c, inside)
print(" | ".join(walk(json.load(sys.stdin)["tree"])))'
}
history() {
  python3 -c 'import sqlite3, sys
rows = sqlite3.connect(sys.argv[1]).execute("select name, app_name, outcome, duration_ms > 900 from calls order by id")
print(";".join("%s,%s,%s,%d" % r for r in rows))' "$DEV/var/mobile/Library/CallHistoryDB/CallHistory.storedata"
}

check "a blocked call does not ring" is "$(sim call --name 'Zoe Zetterberg' --contact D-1:ABPerson | json 'd["rings"]')" False
check "a blocked call never shows the call screen" is "$(call_screen)" ""
check "the app stays in front" is "$(shown)" "$settings"

check "an allowed call rings" is "$(sim call --name 'Ann Archer' --contact A-1:ABPerson --provider 'WhatsApp Audio' \
  --provider-bundle net.whatsapp.WhatsApp | json 'd["rings"]')" True
check "the call screen names the caller and the app" is "$(call_screen)" \
  "Ann Archer | WhatsApp Audio | incoming call | Decline | Accept"
check "the call screen is in front" eventually now_is shown "$home_pid"
check "a second call rings too, waiting" is "$(sim call --name 'Bob Baker' | json 'd["rings"]')" True
check "the first call stays on screen" is "$(call_screen | cut -d'|' -f1)" "Ann Archer "
home tap Accept >/dev/null || fail "tap Accept"
elapsed() { call_screen | cut -d'|' -f3 | tr -d ' '; }
check "the answered call shows its time and End" is "$(call_screen)" "Ann Archer | WhatsApp Audio | 00:00 | End"
runs() { [[ $(elapsed) == 00:01 ]]; }
check "the time runs" eventually runs
home tap End >/dev/null || fail "tap End"
check "the waiting call rings next" is "$(call_screen | cut -d'|' -f1,2)" "Bob Baker | Phone "
check "the caller hanging up ends it" quietly sim end
check "no call screen is left" is "$(call_screen)" ""
check "the app is in front again" eventually now_is shown "$settings"

sim call --name 'Cy Declined' >/dev/null
home tap Decline >/dev/null || fail "tap Decline"
check "Decline puts the app back" eventually now_is shown "$settings"
check "nothing is left to answer" is "$(sim answer | json 'd["code"]')" noCall
check "each call is in the history" is "$(history)" \
  "Ann Archer,WhatsApp Audio,answered,1;Bob Baker,Phone,missed,0;Cy Declined,Phone,declined,0"

# A name as long as the control channel takes (a line of 64 KB), right to
# left, with combining marks and emoji: cut with an ellipsis to one line of
# the call screen.
long=$(python3 -c 'print("\u05e9\u05dc\u05d5\u05dd " + "e\u0301\U0001F600" * 8500)')
check "a call with a 60 KB name rings" is "$(sim call --name "$long" | json 'd["rings"]')" True
cut_short() { call_screen | python3 -c 'import sys; t = sys.stdin.read().split(" | ")[0]; sys.exit(not (t.endswith("\u2026") and len(t) < 80))'; }
check "its name is cut with an ellipsis" cut_short
check "the caller hangs up" quietly sim end

# Unanswered for 30 s: it stops ringing, missed.
sim call --name 'Di Unanswered' >/dev/null
gone_after() { for _ in $(seq 400); do [[ -z $(call_screen) ]] && return 0; sleep 0.1; done; return 1; }
start=$(date +%s)
check "an unanswered call stops ringing" gone_after
check "after 30 s" test $(($(date +%s) - start)) -ge 28
check "it is a missed call" is "$(history | tr ';' '\n' | tail -1)" "Di Unanswered,Phone,missed,0"

echo "$passed passed, $failed failed"
((failed == 0))
