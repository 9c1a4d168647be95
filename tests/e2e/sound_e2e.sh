#!/usr/bin/env bash
# Sounds out loud: a PulseAudio server of the test's own with a null sink,
# whose monitor records what the device plays. A blocked call with a block
# sound is heard where the device runs with sound; headless, or with Silent
# on, nothing is, and the sound is recorded in every case.
# Usage: sound_e2e.sh PATH/TO/simctl   (under dbus-run-session)
set -u
SIMCTL=$1
source "$(dirname "$0")/../support/e2e_prelude.sh"
for tool in pulseaudio parec pactl; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done

# The server's runtime, state and home folders are the test's, so that it
# meets no desktop session's server and leaves nothing behind.
mkdir -p "$WORK/pulse/run" "$WORK/pulse/home"
export PULSE_RUNTIME_PATH=$WORK/pulse/run PULSE_STATE_PATH=$WORK/pulse/home PULSE_SERVER=unix:$WORK/pulse/socket \
  PULSE_COOKIE=$WORK/pulse/cookie
HOME=$WORK/pulse/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --log-target=stderr \
  -L "module-native-protocol-unix socket=$WORK/pulse/socket auth-anonymous=1" \
  -L "module-null-sink sink_name=calmora_test" 2>"$WORK/pulse.log" &
PIDS+=($!)
eventually pactl info >/dev/null || { echo "SKIP: pulseaudio does not start: $(tail -1 "$WORK/pulse.log")"; exit 77; }
quietly pactl set-default-sink calmora_test

python3 - "$PREFS/com.veltrane.calmoprefs.plist" <<'PY'
import plistlib, sys
plistlib.dump({"isTweakEnabled": True, "methodspecifier": 0, "ignoretime": True, "sound": "1005",
               "E2E0-0001": {"isBlocked": True, "com.apple.mobilephoneCall": True}}, open(sys.argv[1], "wb"))
PY

# peak_during SECONDS COMMAND...: the loudest sample (0 to 32767) the sink
# played while COMMAND ran and after it, until one was loud or SECONDS passed.
peak_during() {
  local seconds=$1; shift
  parec --device=calmora_test.monitor --raw --format=s16le --rate=22050 --channels=1 >"$WORK/heard.raw" &
  local rec=$! peak=0
  sleep 0.3
  "$@" >/dev/null
  for _ in $(seq $((seconds * 5))); do
    sleep 0.2
    peak=$(python3 -c 'import array, sys; b = open(sys.argv[1], "rb").read(); a = array.array("h", b[:len(b) // 2 * 2]); print(max(map(abs, a), default=0))' \
      "$WORK/heard.raw")
    ((peak > 1000)) && break
  done
  kill "$rec"; wait "$rec" 2>/dev/null
  echo "$peak"
}
# Each call a second after the last on the device's clock: calls less
# than a second apart are one call, blocked and sounded once.
blocked_call() { later && sim call --name "Jane Roe" --contact E2E0-0001:ABPerson; }
sounds() { sim status | json 'd["sounds"].count(1005)'; }
loud() { (($1 > 1000)) || { echo "  peak $1: nothing heard"; return 1; }; }
quiet() { (($1 < 50)) || { echo "  peak $1: heard"; return 1; }; }

quietly sim boot
check "headless: a blocked call's sound is not heard" quiet "$(peak_during 2 blocked_call)"
check "headless: the sound is recorded" is "$(sounds)" 1
quietly sim shutdown

quietly sim boot --sound
check "with sound: a blocked call's sound is heard" loud "$(peak_during 8 blocked_call)"
check "with sound: the sound is recorded" is "$(sounds)" 1
check "silent reports itself" is "$(sim silent on)" '{"silent":true}'
check "Silent: a blocked call's sound is not heard" quiet "$(peak_during 2 blocked_call)"
check "Silent: the sound is still recorded" is "$(sounds)" 2
quietly sim silent off
check "Silent off: heard again" loud "$(peak_during 8 blocked_call)"

echo "passed: $passed, failed: $failed"
((failed == 0))
