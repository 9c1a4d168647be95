#!/usr/bin/env bash
# simctl post and listen against the stock D-Bus clients, on the session bus
# of dbus-run-session. Usage: simctl_signals_test.sh PATH/TO/simctl
set -u
SIMCTL=$1
WORK=$(mktemp -d)
DEV=$WORK/device
mkdir -p "$DEV"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT

passed=0 failed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
# Waits up to 5 s for FILE to contain TEXT.
wait_for() {
  for _ in $(seq 100); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
  echo "timed out waiting for '$2' in $1:"; cat "$1"; return 1
}
post_ext() { dbus-send --session --type=signal / sim.DistributedNotificationCenter.Post "$@"; }

# 1. dbus-send reaches simctl listen, filtered by name, one JSON line each.
"$SIMCTL" listen "$DEV" sc.a sc.b --count 2 --timeout 10 >"$WORK/l1.out" 2>"$WORK/l1.err" &
L=$!; PIDS+=($L)
wait_for "$WORK/l1.err" "listening on"
post_ext string:sc.other dict:string:string:k,x
post_ext string:sc.a dict:string:string:k,v
post_ext string:sc.b dict:string:int32:n,5
wait "$L"; rc=$?
check "listen exits 0 after --count lines" test "$rc" -eq 0
check "listen prints the matching posts as JSON lines" diff -u - "$WORK/l1.out" <<'OUT'
{"name":"sc.a","userInfo":{"k":"v"}}
{"name":"sc.b","userInfo":{"n":"5"}}
OUT
check "the device records the bus it used" test "$(cat "$DEV/run/bus")" = "$DBUS_SESSION_BUS_ADDRESS"

# 2. simctl to simctl, every name; the signal itself is the one the device
# posts, which signals_e2e.sh watches with dbus-monitor.
"$SIMCTL" listen "$DEV" --count 1 --timeout 10 >"$WORK/l3.out" 2>"$WORK/l3.err" &
L=$!; PIDS+=($L)
wait_for "$WORK/l3.err" "listening on"
"$SIMCTL" post "$DEV" sc.any 'text=Grüße "quoted"' "eq=a=b"; rc=$?
check "post exits 0" test "$rc" -eq 0
wait "$L"; rc=$?
check "listen with no name prints any post" test "$rc" -eq 0
check "text is escaped as JSON and keeps its = signs" \
  grep -qxF '{"name":"sc.any","userInfo":{"eq":"a=b","text":"Grüße \"quoted\""}}' "$WORK/l3.out"

# 3. Ending: a timeout with nothing is a failure, an interrupt is not.
"$SIMCTL" listen "$DEV" sc.never --timeout 0.3 >/dev/null 2>&1; rc=$?
check "a timeout with nothing received exits 1" test "$rc" -eq 1
for sig in INT TERM; do
  "$SIMCTL" listen "$DEV" >/dev/null 2>"$WORK/l4.err" &
  L=$!; PIDS+=($L)
  wait_for "$WORK/l4.err" "listening on"
  kill -$sig "$L"; wait "$L"; rc=$?
  check "SIG$sig ends listen with 0" test "$rc" -eq 0
done

# 4. Bad arguments are refused with a diagnostic, not a crash.
"$SIMCTL" post "$DEV" 2>/dev/null; check "post without a name exits 2" test $? -eq 2
"$SIMCTL" post "$DEV" sc.x novalue 2>/dev/null; check "post with a bare word exits 2" test $? -eq 2
"$SIMCTL" listen "$DEV" --count 0 2>/dev/null; check "listen --count 0 exits 2" test $? -eq 2
"$SIMCTL" listen "$DEV" --timeout 2>/dev/null; check "listen --timeout without value exits 2" test $? -eq 2
"$SIMCTL" post "$WORK/missing" sc.x 2>/dev/null; check "post to a missing device exits 1" test $? -eq 1

echo "$passed passed, $failed failed"
test "$failed" -eq 0
