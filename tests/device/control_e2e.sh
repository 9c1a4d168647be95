#!/usr/bin/env bash
# The home screen's control channel under clients that leave, waits that
# overlap, a respring in the middle of a wait, and hostile screenshot paths;
# what simctl refuses before asking.
# Usage: control_e2e.sh BIN_DIR TEST_APP_BUNDLE (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
bundle=$2
app=com.calmora.tests.exitapp
source "$(dirname "$0")/../support/e2e_prelude.sh"
# ended PID SECONDS: the background job PID ends within SECONDS.
ended() { eventually --within "$2" gone "$1"; }
# connected JOB: the simctl of background JOB holds a connection (to the
# home screen: simctl ui opens no other).
descendants() { local p; for p in $(pgrep -P "$1"); do echo "$p"; descendants "$p"; done; }
connected() {
  local p
  for p in "$1" $(descendants "$1"); do ss -xpH state established | grep -q "pid=$p," && return 0; done
  return 1
}

timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
board=$(cat "$DEV/run/springboard.pid")

# A client that leaves during a wait: the home screen drops the answer and
# goes on serving. The second wait answers after the first one's deadline.
timeout -s INT 1 "$SIMCTL" ui "$DEV" com.apple.springboard wait nope --timeout 2 >/dev/null 2>&1
[[ $(home wait nope --timeout 1.5 | json 'd["found"]') == False ]] || fail "no answer after a waiting client left"
alive "$board" || fail "the home screen died when its waiting client left"

# Waits on two connections answer each at its own deadline, the short one
# taken first.
start=$(date +%s%N)
home wait nope --timeout 1 >/dev/null 2>&1 &
short=$!
# A loaded machine may see the 1 s wait answered before it sees it connected.
connected_or_done() { connected "$1" || ! kill -0 "$1" 2>/dev/null; }
eventually connected_or_done "$short" || fail "the short wait did not connect"
home wait nope --timeout 6 >/dev/null 2>&1 &
long=$!
PIDS+=("$short" "$long")
wait "$short"
took=$((($(date +%s%N) - start) / 1000000))
((took < 3000)) || fail "a 1 s wait before a 6 s one took $took ms"
alive "$long" || fail "the 6 s wait ended with the 1 s one"
icon=$(home tree | json '[c for c in d["tree"]["children"] if c["class"] == "SBHomeScreenView"][0]["children"][0]["text"]') || fail "no icon in the tree"
home wait "$icon" --timeout 1e300 >/dev/null || fail "a wait for a shown icon with a huge timeout"
rc=0; timeout 2 "$SIMCTL" ui "$DEV" com.apple.springboard wait nope --timeout 1e300 >/dev/null 2>&1 || rc=$?
[[ $rc == 124 ]] || fail "a wait with a huge timeout ended at once ($rc)"
rc=0; home wait nope --timeout nan >/dev/null 2>&1 || rc=$?
[[ $rc == 2 ]] || fail "a wait with a timeout of nan exited $rc"

# A respring while a wait is pending: the wait ends with the old process,
# and the new home screen comes up.
home wait nope --timeout 30 >/dev/null 2>&1 &
pending=$!
PIDS+=("$pending")
eventually connected "$pending" || fail "the pending wait did not connect"
"$DEV/usr/bin/killall" -9 backboardd || fail "killall -9 backboardd"
new_home_screen "$board" || fail "no new home screen after a respring during a wait"
ended "$pending" 10 || fail "the pending wait outlived its home screen"
ended "$board" 5 || fail "the old home screen still runs"

# Screenshots: a link at the name is replaced (its target kept), a FIFO is
# refused without blocking, an empty name is refused by simctl.
echo keep > "$WORK/kept"
ln -s "$WORK/kept" "$WORK/shot.png"
sim screenshot "$WORK/shot.png" >/dev/null || fail "screenshot over a link"
[[ $(cat "$WORK/kept") == keep && ! -L "$WORK/shot.png" ]] || fail "the screenshot was written through the link"
python3 "$(dirname "$0")/../support/png_pixel.py" "$WORK/shot.png" 1 1 >/dev/null || fail "no PNG at the name"
mkfifo "$WORK/fifo.png"
[[ $(SIMCTL_TIMEOUT=5 sim screenshot "$WORK/fifo.png" 2>/dev/null | json 'd["code"]') == cannotWrite ]] ||
  fail "a FIFO as a screenshot"
[[ $(home screenshot "$WORK/fifo.png" 2>/dev/null | json 'd["code"]') == cannotWrite ]] || fail "a FIFO through ui"
for args in "screenshot $DEV ''" "ui $DEV com.apple.springboard screenshot ''"; do
  rc=0; eval "\"$SIMCTL\" $args" 2>"$WORK/err" || rc=$?
  [[ $rc == 2 ]] && grep -q "empty" "$WORK/err" || fail "simctl $args exited $rc: $(cat "$WORK/err")"
done
sim status >/dev/null || fail "the home screen after the screenshots"
# An empty DIR names no device: refused before anything is made in the
# current folder.
mkdir "$WORK/cwd"
for verb in boot status shutdown; do
  rc=0; (cd "$WORK/cwd" && timeout 10 "$SIMCTL" $verb "") 2>"$WORK/err" || rc=$?
  [[ $rc == 2 ]] && grep -q "empty" "$WORK/err" || fail "simctl $verb '' exited $rc: $(cat "$WORK/err")"
done
[[ -z $(ls -A "$WORK/cwd") ]] || fail "simctl '' made files in the current folder: $(ls -A "$WORK/cwd")"

# install refuses a bundle identifier too long to name the app's socket.
long_id=com.calmora.$(printf 'x%.0s' $(seq 66))
cp -r "$bundle" "$WORK/Long.app"
sed -i "s/$app/$long_id/" "$WORK/Long.app/Info.plist"
sim install "$WORK/Long.app" >/dev/null 2>"$WORK/err" && fail "a 78-character identifier was installed"
grep -q "at most 77" "$WORK/err" || fail "install's refusal: $(cat "$WORK/err")"
[[ ! -e "$DEV/Applications/Long.app" ]] || fail "the refused bundle is in Applications"
sed -i "s/$long_id/${long_id%x}/" "$WORK/Long.app/Info.plist"
sim install "$WORK/Long.app" >/dev/null || fail "a 77-character identifier was refused"

# An app that does not answer is named as such.
sim install "$bundle" >/dev/null || fail "install"
pid=$(sim launch "$app" | json 'd["pid"]') || fail "launch"
kill -STOP "$pid"
SIMCTL_TIMEOUT=1 sim ui "$app" tree >/dev/null 2>"$WORK/err" && fail "a stopped app answered"
kill -CONT "$pid"
grep -q "$app is running but did not answer" "$WORK/err" || fail "the time-out names: $(cat "$WORK/err")"
echo "control end to end: ok"
