# Sourced by the device end-to-end scripts, with SIMCTL (the simctl program)
# set, and APP (the app the script drives) where there is one. It makes the
# device folder DEV inside a scratch folder WORK; at exit it ends the
# processes in PIDS, runs the script's on_exit if it has one, shuts the
# device down and removes WORK. It works under set -e as well.
WORK=$(mktemp -d "/tmp/calmora-$(basename "$0" .sh).XXXXXX")
DEV=$WORK/device
PREFS=$DEV/var/mobile/Library/Preferences
BOOK=$DEV/var/mobile/Library/AddressBook/contacts.vcf
mkdir -p "$PREFS" "$(dirname "$BOOK")"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || :; wait "$p" 2>/dev/null || :; done
  if declare -F on_exit >/dev/null; then on_exit || :; fi
  timeout 30 "$SIMCTL" shutdown "$DEV" >/dev/null 2>&1 || :
  rm -rf "$WORK"
}
trap cleanup EXIT
# A test that runs out of time is killed with its children, before cleanup
# can run; the device's processes are no children of it. A watcher outside
# the script's tree does the cleanup then: once the script is gone and WORK
# is still there.
( setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done
  [[ -d $2 ]] || exit 0
  timeout 30 "$3" shutdown "$2/device" >/dev/null 2>&1; rm -rf "$2"' watcher $$ "$WORK" "$SIMCTL" \
  </dev/null >/dev/null 2>&1 & )

# Fail fast: the reason, then the last lines of the home screen's log and the app's.
fail() {
  echo "FAIL: $*" >&2
  tail -20 "$DEV/var/log/springboard.log" ${APP:+"$DEV/var/log/$APP.log"} >&2 2>/dev/null
  exit 1
}
# Or count: check NAME COMMAND... records a failed check and goes on.
passed=0 failed=0
check() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
quietly() { "$@" >/dev/null; }
is() { [ "$1" = "$2" ] || { echo "  got '$1', want '$2'"; return 1; }; }

sim() { timeout 30 "$SIMCTL" "$1" "$DEV" "${@:2}"; }
ui() { timeout 30 "$SIMCTL" ui "$DEV" "$APP" "$@"; }
# home VERB [ARGS...]: a user-interface verb of the home screen.
home() { timeout 30 "$SIMCTL" ui "$DEV" com.apple.springboard "$@"; }
# json PYTHON-EXPRESSION: the expression over `d`, the JSON read from stdin.
json() { python3 -c 'import json,sys; d=json.load(sys.stdin); print(eval(sys.argv[1]))' "$1"; }
# q PYTHON-EXPRESSION: over the app's tree `t`, with `nodes` (the shown
# nodes, depth first) and `rows` (the shown cells of the first section by
# row); home_q: the same over the home screen's tree.
q() { tree_q ui "$1"; }
home_q() { tree_q home "$1"; }
tree_q() {
  "$1" tree | python3 -c '
import json, sys
t = json.load(sys.stdin)["tree"]
def walk(n):
    if not n.get("visible", True): return
    yield n
    for c in n.get("children", []): yield from walk(c)
nodes = list(walk(t))
rows = sorted((n for n in nodes if n["class"] == "UITableViewCell" and n.get("section", 0) == 0 and "row" in n),
              key=lambda n: n["row"])
print(eval(sys.argv[1]))' "$2"
}
# alive PID: the process runs (a zombie has ended).
alive() { kill -0 "$1" 2>/dev/null && [[ "$(ps -o stat= -p "$1")" != Z* ]]; }
gone() { ! alive "$1"; }
# drag X0 Y0 X1 Y1 [STEPS]: the finger on the device's display, from one
# point to another (points of the screen) in STEPS moves (10), as the
# device window sends it; X0 Y0 X0 Y0 is a tap.
drag() {
  python3 - "$DEV/run/display.sock" "$@" <<'PY'
import json, socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(10); s.connect(sys.argv[1]); f = s.makefile("rw")
x0, y0, x1, y1 = map(float, sys.argv[2:6])
steps = int(sys.argv[6]) if len(sys.argv) > 6 else 10
for i, phase in enumerate(["down"] + ["move"] * steps + ["up"]):
    t = min(i, steps) / steps
    f.write(json.dumps({"verb": "pointer", "x": x0 + (x1 - x0) * t, "y": y0 + (y1 - y0) * t, "phase": phase}) + "\n")
    f.flush(); f.readline()
PY
}
# eventually [--within SECONDS] COMMAND...: polls COMMAND until it
# succeeds, 5 s at most (or SECONDS); the last try speaks for itself.
eventually() {
  local tries=50
  if [[ $1 == --within ]]; then tries=$(($2 * 10)); shift 2; fi
  for _ in $(seq $((tries - 1))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  "$@"
}
# gives WANT COMMAND...: COMMAND prints WANT (for eventually).
gives() { local want=$1; shift; is "$("$@" 2>&1)" "$want"; }
# listen FILE ARGS...: simctl listen ARGS in the background, its lines in
# FILE; returns once it has subscribed, with its pid in `listener`.
listen() {
  local file=$1; shift
  "$SIMCTL" listen "$DEV" "$@" >"$file" 2>"$file.err" &
  listener=$!
  PIDS+=("$listener")
  eventually --within 10 grep -q "listening on" "$file.err" || { echo "  listen did not start" >&2; return 1; }
}
# new_home_screen OLD_PID: waits (20 s at most) until a home screen other
# than OLD_PID answers; the old one may answer until it is gone.
answers_anew() {
  local now
  now=$(cat "$DEV/run/springboard.pid" 2>/dev/null)
  [[ -n $now && $now != "$1" ]] && sim status >/dev/null 2>&1
}
new_home_screen() { eventually --within 20 answers_anew "$1" >/dev/null 2>&1; }
# respring_by TAP-ARGUMENTS...: taps in APP what restarts the home screen and
# waits for the new one. The restart ends APP, often before simctl hears the
# tap's answer: the new home screen is the answer.
respring_by() {
  local before
  before=$(cat "$DEV/run/springboard.pid" 2>/dev/null)
  ui tap "$@" >/dev/null 2>&1
  new_home_screen "$before"
}
# later: moves the device's clock 2 s forward (simctl clock --advance), so
# that a second blocked call of one caller is another call, not the same
# one seen again, without waiting for the host's clock.
later() { sim clock --advance 2 >/dev/null; }
# update PLIST PYTHON-KEYWORDS: sets entries of a plist file, replaced whole.
update() {
  python3 -c 'import os, plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
d.update(eval("dict(%s)" % sys.argv[2]))
plistlib.dump(d, open(sys.argv[1] + ".tmp", "wb")); os.replace(sys.argv[1] + ".tmp", sys.argv[1])' "$1" "$2"
}

# x_server WxHxDEPTH: an X server of the script's own for the device window,
# on a display number it picks itself, set in DISPLAY; the script skips (77)
# where Xvfb or xdotool is missing or Xvfb cannot start. The windows still
# open at exit are closed.
x_server() {
  local tool
  for tool in Xvfb xdotool; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
  done
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$WORK/xdisplay" 2>"$WORK/xvfb.log" &
  PIDS+=($!)
  eventually test -s "$WORK/xdisplay" 2>/dev/null
  [[ -s $WORK/xdisplay ]] || { echo "SKIP: Xvfb cannot start: $(tail -1 "$WORK/xvfb.log")"; exit 77; }
  export DISPLAY=:$(cat "$WORK/xdisplay")
  # A desktop session's runtime folder, for the window, where this one has none.
  if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then mkdir -m 700 "$WORK/xdg" && export XDG_RUNTIME_DIR=$WORK/xdg; fi
  on_exit() { for w in $(xdotool search --name " - Calmora device$" 2>/dev/null); do xdotool key --window "$w" ctrl+w 2>/dev/null; done; }
}
# frame_width: the width in pixels of the display's latest frame;
# frames_are WIDTH: it is WIDTH (for eventually).
frame_width() {
  python3 -c 'import json, socket, sys
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); f = s.makefile("rw")
f.write("{\"verb\": \"frame\", \"after\": 0}\n"); f.flush(); print(json.loads(f.readline())["width"])' \
    "$DEV/run/display.sock"
}
frames_are() { [[ $(frame_width) == "$1" ]]; }
