#!/usr/bin/env bash
# The display against faulty and hostile clients of the same user: a client
# whose shared memory is cut short is dropped, not the display; the frame
# memory cannot be shrunk; a flood of connections neither spins the display
# nor stops its control socket; a repeated line is said once with a count;
# only the home screen lays a window over the rest; requests one process holds
# open do not starve the others.
# Usage: display_hostile_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
HERE=$(dirname "$0")
source "$HERE/../support/e2e_prelude.sh"

sim boot >/dev/null || fail "boot"
display=$(cat "$DEV/run/display.pid")
front_is() { [[ $(sim apps | json 'd["shown"]') == "$1" ]]; }
pid_of() { sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$1'" and a["state"] == "running"][0]'; }
sim launch "$APP" >/dev/null || fail "launch Settings"
settings=$(pid_of "$APP")
check "Settings is in front" eventually front_is "$settings"

# Shared memory that is not there: a pool larger than its memfd, and a
# memfd truncated under a buffer the display reads again.
for mode in short-pool truncated; do
  check "a client whose $mode memory faults is dropped" is "$(python3 "$HERE/../support/wayland_client.py" "$DEV/run" $mode)" dropped
  check "the display runs on after the $mode client" alive "$display"
done
sim launch "$APP" >/dev/null
check "the display shows Settings again" eventually front_is "$settings"

# The frame memory: no file of run/ to cut short, and the memory handed
# over is sealed against shrinking.
check "no frame file lies in run/" test ! -e "$DEV/run/display.frames"
sealed() {
  python3 - "$DEV/run/display.sock" <<'PY'
import json, os, socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(5); s.connect(sys.argv[1])
s.sendall(b'{"verb":"frames"}\n')
data, fds, _, _ = socket.recv_fds(s, 4096, 1)
assert json.loads(data)["ok"] and len(fds) == 1, data
try:
    os.ftruncate(fds[0], 64)
    sys.exit("the frame memory shrank")
except PermissionError:
    pass
PY
}
check "the frame memory cannot be shrunk" sealed
sim launch com.veltrane.calmora >/dev/null
check "the display runs on and shows the next app" eventually front_is "$(pid_of com.veltrane.calmora)"

# A window far larger than the screen, committed again and again: shown
# cut to the screen, without a line each time.
log_before=$(stat -c %s "$DEV/var/log/display.log")
check "a huge window's client is served" is "$(python3 "$HERE/../support/wayland_client.py" "$DEV/run" big)" kept
grown=$(($(stat -c %s "$DEV/var/log/display.log") - log_before))
echo "  huge window: log +$grown bytes in 3 s"
check "its commits do not grow the log" test "$grown" -lt 4096
check "the display runs on after the huge window" alive "$display"

# A flood of plain connections, held: more than the display may open (its
# limit lowered here to what the test can reach quickly).
prlimit --pid "$display" --nofile=512:512
cpu_ticks() { awk '{print $14 + $15}' "/proc/$display/stat"; }
python3 - "$DEV/run/display.wayland" "$WORK/flood.ready" <<'PY' &
import resource, socket, sys, time
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
held = []
for _ in range(1000):
    s = socket.socket(socket.AF_UNIX); s.setblocking(False)
    try: s.connect(sys.argv[1])
    except BlockingIOError: pass
    except OSError: break
    held.append(s)
open(sys.argv[2], "w").close()
time.sleep(4)
PY
flood=$!
PIDS+=("$flood")
eventually test -e "$WORK/flood.ready"
log_before=$(stat -c %s "$DEV/var/log/display.log")
ticks_before=$(cpu_ticks)
check "the control socket answers during the flood" quietly timeout 5 "$SIMCTL" apps "$DEV"
sleep 2
ticks=$(($(cpu_ticks) - ticks_before))
grown=$(($(stat -c %s "$DEV/var/log/display.log") - log_before))
echo "  flood: display CPU $ticks ticks in 2 s, log +$grown bytes"
check "the display does not spin during the flood" test "$ticks" -lt 60
check "its log does not grow with the flood" test "$grown" -lt 4096
wait "$flood"
check "the display runs on after the flood" alive "$display"
sim launch "$APP" >/dev/null
check "an app shows after the flood" eventually front_is "$settings"
said_with_count() {
  for _ in $(seq 120); do grep -q "$1" "$DEV/var/log/display.log" && return 0; sleep 0.1; done
  return 1
}
check "a refusal repeated is said with a count" said_with_count "refused a client .* (repeated [0-9,]* times in"

# Only the home screen lays a window over the app in front: another
# process's window under the overlay's title is an ordinary window.
check "another process's window titled as the overlay is an ordinary one" \
  is "$(python3 "$HERE/../support/wayland_client.py" "$DEV/run" overlay)" window
sim launch "$APP" >/dev/null
app_at_middle() { python3 "$HERE/../support/frame_pixel.py" "$DEV" 187 400 | json 'min(d["pixels"][0]) > 200 or exit(1)'; }
check "the app in front shows whole" eventually app_at_middle

# Forty frame requests held open by one process: the others are served.
python3 - "$DEV/run/display.sock" "$WORK/held.ready" <<'PY' &
import socket, sys, time
held = []
for _ in range(40):
    s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1])
    s.sendall(b'{"verb":"frame","after":1e15}\n'); held.append(s)
open(sys.argv[2], "w").close()
time.sleep(6)
PY
PIDS+=($!)
eventually test -e "$WORK/held.ready"
check "the home screen still says what is shown" front_is "$settings"
check "another process is answered" quietly timeout 5 "$SIMCTL" ui "$DEV" "$APP" tree

echo "display_hostile_e2e: $passed passed, $failed failed"
((failed == 0))
