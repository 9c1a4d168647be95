#!/usr/bin/env bash
# The device in a browser: simctl serve's URL opened in headless Chromium
# and used as a person would (tests/support/serve_browser.py), the bounds on
# what a client may send, and serve's own lines: a device not booted, a
# second serve, --stop. Skips (77) only where Chromium or Selenium is missing.
# Usage: serve_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
HERE=$(dirname "$0")
source "$HERE/../support/e2e_prelude.sh"
for tool in chromium chromedriver; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
/usr/bin/python3 -c "import selenium" 2>/dev/null || { echo "SKIP: python3-selenium is not installed"; exit 77; }

out=$("$SIMCTL" serve "$DEV" 2>&1); status=$?
check "a device not booted: one line, status 1" is "$status $(wc -l <<<"$out")" "1 1"

# One contact blocked all week, blocking on.
printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Zetterberg;Zoe;;;" UID:D-1 "TEL:+1 555 0101" END:VCARD >"$BOOK"
python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": True, "ignoretime": True, "methodspecifier": 0,
               "D-1": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)}, open(sys.argv[1], "wb"))' \
  "$PREFS/com.veltrane.calmoprefs.plist"
sim boot >/dev/null || fail "boot"

"$SIMCTL" serve "$DEV" >"$WORK/serve.out" 2>"$WORK/serve.err" &
PIDS+=($!)
served() { grep -q '^http://127\.0\.0\.1:[0-9]*/[0-9a-f]\{32\}/$' "$WORK/serve.out"; }
eventually served || fail "serve printed no URL: $(cat "$WORK/serve.out" "$WORK/serve.err")"
url=$(head -1 "$WORK/serve.out")

out=$("$SIMCTL" serve "$DEV" 2>&1); status=$?
check "a second serve: one line naming the first's URL, status 1" is "$status $out" "1 simctl serve: the device is served already at $url"

/usr/bin/python3 "$HERE/../support/serve_browser.py" "$SIMCTL" "$DEV" "$url" ${PAGE_PICTURE:+"$PAGE_PICTURE"}
check "the page in a browser, and what must stay out (above)" is $? 0
check "refusals are logged" grep -q "refused 403 (wrong or missing token)" "$WORK/serve.err"

other=$(curl -s -o /dev/null -w '%{http_code}' "${url%/*/}/00000000000000000000000000000000/" 2>/dev/null || echo none)
check "a wrong token, by curl too" is "$other" 403
out=$(sim serve --stop); status=$?
check "serve --stop ends it" is "$status $out" '0 {"served":false}'
stopped() { ! curl -s -o /dev/null "$url"; }
check "nothing listens any more" eventually stopped
out=$(sim serve --stop 2>&1); status=$?
check "--stop with none running: one line, status 1" is "$status $out" "1 simctl serve: the device is not served"

echo "serve_e2e: $passed passed, $failed failed"
((failed == 0))
