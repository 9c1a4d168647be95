#!/usr/bin/env bash
# The appearance switched while the log viewer is open: the read row on
# screen turns light on dark at once, and the Calls tab, away while the
# switch happened, shows its search field's placeholder in the new
# appearance when it comes back, without the list being opened again.
# Usage: appearance_switch_e2e.sh BIN_DIR   (under dbus-run-session)
set -u
SIMCTL=$1/simctl
APP=com.veltrane.calmora
source "$(dirname "$0")/../support/e2e_prelude.sh"
PIXEL=$(dirname "$0")/../support/png_pixel.py
until_q() {  # until_q EXPR WANT: 5 s at most
  local got
  for _ in $(seq 50); do got=$(q "$1"); [ "$got" = "$2" ] && return 0; sleep 0.1; done
  echo "  got '$got', want '$2'"; return 1
}
# The lightest and darkest channel over the left part of the search field,
# where "Search" is drawn, in a screenshot at scale 2.
placeholder() {
  ui screenshot "$WORK/$1.png" >/dev/null
  local f
  f=$(q '[n["frame"] for n in nodes if n.get("identifier") == "SearchField"][0]')
  python3 - "$PIXEL" "$WORK/$1.png" "$f" <<'PY'
import json, subprocess, sys
x, y, w, h = json.loads(sys.argv[3])
pts = [(round(2 * (x + i)), round(2 * (y + j))) for i in range(6, 70, 2) for j in range(int(h / 2) - 6, int(h / 2) + 6, 2)]
out = subprocess.run([sys.executable, sys.argv[1], sys.argv[2], *(str(v) for p in pts for v in p)],
                     capture_output=True, check=True)
px = json.loads(out.stdout)["pixels"]
print(min(min(p) for p in px), max(max(p) for p in px))
PY
}

printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;Jane;;;\r\nUID:A-1\r\nTEL:+1 555 0101\r\nEND:VCARD\r\n' >"$BOOK"
python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": True, "methodspecifier": 0, "ignoretime": True,
               "A-1": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
sim boot >/dev/null || fail "boot"
sim appear >/dev/null
sim call --name "Jane Roe" --contact "A-1:ABPerson" >/dev/null
{ sim launch "$APP" && ui wait "Phone Call from Jane Roe" && ui tap --row 0 && ui wait "Open in App" && ui back; } \
  >/dev/null || fail "open the call"
check "the read row is black in light" until_q '[r.get("textColor") for r in rows]' "['#000000FF']"

sim appearance dark >/dev/null
check "switched to dark with the list open, the read row turns white" until_q '[r.get("textColor") for r in rows]' \
  "['#FFFFFFFF']"
read -r low high <<<"$(placeholder dark)"
check "the placeholder reads light on the dark field" test "$high" -ge 120

quietly ui tap Notifications
sim appearance light >/dev/null
sleep 0.5
quietly ui tap Calls
read -r low high <<<"$(placeholder light)"
check "switched away on another tab, the placeholder is dark on the light field once back" test "$low" -le 180
check "and the read row black" until_q '[r.get("textColor") for r in rows]' "['#000000FF']"

echo "appearance switch e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
