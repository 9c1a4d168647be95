#!/usr/bin/env bash
# The device window at 200% on a real X server: the display's frames come at
# two pixels a point and the window shows them 1:1 (its pixels are the app's
# own at that scale), a click still lands where it points, the app's
# screenshots keep their size, and the frames go back to a pixel a point at
# 100% and once the window closes or is killed. Skips (77) only where Xvfb cannot start.
# Usage: zoom_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
HERE=$(dirname "$0")
source "$HERE/../support/e2e_prelude.sh"

x_server 1024x1800x24

# zoom ITEM: picks the ITEMth entry (1: 50% ... 4: 200%) of the Window menu;
# the keys reach the menu the click opened, whichever window X gives them to.
zoom() {
  xdotool mousemove $((X + 30)) $((Y + 8)) click 1
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$win")"; }

sim boot >/dev/null || fail "boot"
sim launch "$APP" >/dev/null || fail "launch Settings"
ui wait General >/dev/null || fail "Settings shows no General row"
size_1x=$(ui screenshot "$WORK/1x.png" | json '(d["width"], d["height"])')
sim open >/dev/null || fail "simctl open"
win=$(xdotool search --sync --name " - Calmora device$" | head -1)
[[ -n $win ]] || fail "no window"
geometry
check "at 100% the frames are a pixel a point" eventually frames_are 375
width_1x=$WIDTH
zoom 4
wider() { geometry && ((WIDTH == 2 * width_1x)); }
check "200% doubles the window" eventually wider
check "at 200% the frames are two pixels a point" eventually frames_are 750

# The screen lies 20x80 points into the body, under the menu bar.
menu=$((HEIGHT - 2 * (667 + 170)))
sx=$((X + 40)) sy=$((Y + menu + 160))
# Along the middle of the "General" row's label, the window's pixels are the
# app's own at two pixels a point: drawn 1:1, not a 1x frame blown up.
at=$(q "next(f'{int(n[\"frame\"][0])} {int(n[\"frame\"][1] + n[\"frame\"][3] / 2)} {int(n[\"frame\"][2])}' for n in nodes if n.get('text') == 'General' and n['class'] == 'UILabel')")
read -r lx ly lw <<<"$at"
sharp() {
  local shot_points=() png_points=()
  ui screenshot "$WORK/2x.png" >/dev/null
  python3 "$HERE/../support/x_grab.py" >"$WORK/shot.xwd"
  for ((x = 2 * lx; x < 2 * (lx + lw); x += 3)); do
    shot_points+=($((sx + x)) $((sy + 2 * ly))) png_points+=($x $((2 * ly)))
  done
  python3 - "$(python3 "$HERE/../support/xwd_pixel.py" "$WORK/shot.xwd" "${shot_points[@]}")" \
    "$(python3 "$HERE/../support/png_pixel.py" "$WORK/2x.png" "${png_points[@]}")" <<'EOF'
import json, sys
shown, own = (json.loads(a)["pixels"] for a in sys.argv[1:3])
dark = sum(sum(p) < 200 for p in own)  # the letters' strokes the line crosses
off = max(abs(a - b) for p, q in zip(shown, own) for a, b in zip(p, q))
print(f"  {len(own)} points, {dark} dark, largest difference {off}", file=sys.stderr)
sys.exit(not (dark >= 4 and off <= 24))
EOF
}
check "the window shows the 2x frame 1:1" eventually sharp
check "the app's screenshot keeps its size at 200%" is "$(ui screenshot "$WORK/2x.png" | json '(d["width"], d["height"])')" "$size_1x"

# A click at 200% lands on the row it points at.
xdotool mousemove $((sx + 2 * (lx + 10))) $((sy + 2 * ly)) click 1
check "a click at 200% opens the row" quietly ui wait About

zoom 3
check "back at 100% the frames are a pixel a point" eventually frames_are 375
zoom 4
check "200% again" eventually frames_are 750
xdotool key --window "$win" ctrl+w 2>/dev/null
check "closed, the window leaves the frames at a pixel a point" eventually frames_are 375

# Ctrl+2 is 200% and Ctrl+1 100%. A window killed at 200% leaves the frames
# at a pixel a point as well, once its connection ends.
sim open >/dev/null || fail "simctl open again"
win=$(xdotool search --sync --name " - Calmora device$" | head -1)
geometry
xdotool key --window "$win" ctrl+2
check "Ctrl+2 zooms to 200%" eventually frames_are 750
xdotool key --window "$win" ctrl+1
check "Ctrl+1 to 100%" eventually frames_are 375
zoom 4
check "200% once more" eventually frames_are 750
kill -9 "$(xdotool getwindowpid "$win")"
check "killed, the window leaves the frames at a pixel a point" eventually frames_are 375

echo "zoom_e2e: $passed passed, $failed failed"
((failed == 0))
