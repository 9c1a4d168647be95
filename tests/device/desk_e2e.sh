#!/usr/bin/env bash
# The device window on a desktop smaller than the phone at 100%, with real X
# input: it opens fitted to the free area and no zoom makes it larger, the
# wheel scrolls the list under the pointer, text copied on the desktop pastes
# into a device field and text copied there reaches the desktop, a second
# open brings the window to front over another, a screenshot from the window
# keeps the device's pixels, and shutdown ends the window even once its
# display was killed. Skips (77) only where Xvfb cannot start.
# Usage: desk_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
HERE=$(dirname "$0")
source "$HERE/../support/e2e_prelude.sh"

x_server 1024x768x24

sim boot >/dev/null || fail "boot"
sim launch "$APP" >/dev/null || fail "launch Settings"
ui wait Calmora >/dev/null || fail "Settings shows no Calmora row"
ui tap Calmora >/dev/null || fail "cannot open the pane"
ui wait Enabled >/dev/null || fail "the pane did not open"
sim open >/dev/null || fail "simctl open"
win=$(timeout 10 xdotool search --sync --name " - Calmora device$" | head -1)
[[ -n $win ]] || fail "no window"
geometry() { eval "$(xdotool getwindowgeometry --shell "$win")"; }
# The zoom from the window's width (the body is 415 points wide), and the
# screen's top left on the X screen: 20x80 points into the body, under the
# menu bar.
place() {
  geometry
  zoom=$(python3 -c "print($WIDTH / 415)")
  sx=$(python3 -c "print(round($X + 20 * $zoom))")
  sy=$(python3 -c "print(round($Y + $HEIGHT - 837 * $zoom + 80 * $zoom))")
}
# at X Y: the X screen's point of a point of the device's screen.
at() { python3 -c "print(round($sx + $1 * $zoom), round($sy + $2 * $zoom))"; }
fits() { geometry && ((Y + HEIGHT <= 768 && X + WIDTH <= 1024)); }
check "the window opens inside the 768-pixel-high screen" eventually fits
place
check "it opens at Fit to Screen, below 100%" python3 -c "import sys; sys.exit(not 0.8 < $zoom < 1)"
xdotool key --window "$win" ctrl+2
sleep 0.5
check "Ctrl+2 (200%) does not make it larger than the screen" fits
xdotool key --window "$win" ctrl+1
sleep 0.5
check "Ctrl+1 (100%) neither" fits
xdotool key --window "$win" ctrl+minus
smaller() { geometry && ((HEIGHT < 680)); }
check "Ctrl+- zooms out to 75%" eventually smaller
xdotool key --window "$win" ctrl+0
back_to_fit() { geometry && ((HEIGHT > 700)) && fits; }
check "Ctrl+0 fits it again" eventually back_to_fit
place

# Three notches of a real X wheel over the pane's list scroll it, as a drag
# would.
contacts_y() { q "[int(n['frame'][1]) for n in nodes if n.get('text') == 'Contacts'][0]"; }
before=$(contacts_y)
read -r px py <<<"$(at 187 400)"
xdotool mousemove "$px" "$py"
for _ in 1 2 3; do xdotool click 5; sleep 0.1; done
scrolled() { local now; now=$(contacts_y) && ((now < before - 60)); }
check "the wheel scrolls the list under the pointer" eventually scrolled
before=$(contacts_y)
xdotool click 4
back() { local now; now=$(contacts_y) && ((now > before + 20)); }
check "and back up" eventually back

# The clipboard, both ways, in the log viewer's search field.
APP=com.veltrane.calmora
sim launch "$APP" >/dev/null || fail "launch the log viewer"
viewer_shown() { [[ $(sim apps | json 'd["shown"]') == $(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]') ]]; }
eventually viewer_shown || fail "the log viewer is not in front"
field() { q "[n.get('text') for n in nodes if n['class'] == 'UITextField'][0]"; }
field_at() { at $(q "next(f'{int(n[\"frame\"][0] + n[\"frame\"][2] / 2)} {int(n[\"frame\"][1] + n[\"frame\"][3] / 2)}' for n in nodes if n['class'] == 'UITextField')"); }
read -r fx fy <<<"$(field_at)"
printf 'Zoe from the desk' | xclip -quiet -selection clipboard 2>/dev/null &
PIDS+=($!)
sleep 0.5
xdotool mousemove "$fx" "$fy" click 1
xdotool key ctrl+v
field_is() { [[ $(field) == "$1" ]]; }
check "desktop text pastes into the device's field (Ctrl+V)" eventually field_is "Zoe from the desk"
xdotool key ctrl+a BackSpace && xdotool type --delay 30 "copied in the device"
check "typed" eventually field_is "copied in the device"
xdotool key ctrl+a ctrl+c
desktop_has() { [[ $(xclip -o -selection clipboard 2>/dev/null) == "$1" ]]; }
check "text copied in the device reaches the desktop's clipboard" eventually desktop_has "copied in the device"

# Covered by another window and without the keys, the device window comes
# to front and takes them again on a second open.
xmessage -geometry 1000x760+0+0 "another window" 2>/dev/null &
PIDS+=($!)
other=$(timeout 10 xdotool search --sync --name "^xmessage$" | head -1)
xdotool windowfocus "$other" 2>/dev/null
shot() { python3 "$HERE/../support/x_grab.py" >"$WORK/shot.xwd"; }
# The phone's body beside its screen: dark when the window is on top.
body_shown() { shot; python3 "$HERE/../support/xwd_pixel.py" "$WORK/shot.xwd" $((sx - 5)) $((sy + 200)) | json 'sum(d["pixels"][0]) < 150 or exit(1)'; }
check "the other window covers it" eval '! body_shown'
check "a second open finds it open" is "$(sim open | json 'd["already"]')" True
check "and brings it to front" eventually body_shown
focused() { [[ $(xdotool getwindowfocus) == "$win" ]]; }
check "with the keys" eventually focused

# A screenshot from the window (Ctrl+S) at the device's pixels, whatever the
# zoom; the display draws at the zoom's scale again after it.
xdotool key --window "$win" ctrl+s
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "^Screenshot$" | head -1)
[[ -n $dialog ]] || fail "Ctrl+S opened no dialog"
# Mapped is not yet focused: keys sent before the dialog has them go elsewhere.
dialog_focused() { [[ $(xdotool getwindowfocus) == "$dialog" ]]; }
eventually dialog_focused || xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a && xdotool type --delay 10 "$WORK/window.png" && xdotool key Return
saved() { [[ -s $WORK/window.png ]]; }
# The window waits up to 5 s for a frame at the device's scale before it saves.
# Which windows show when it is not (a dialog still open, an alert) says why.
saved_or_say() {
  eventually --within 15 saved && return
  echo "  shown windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
  return 1
}
check "the screenshot is saved" saved_or_say
check "at the device's pixels" is "$(python3 "$HERE/../support/png_pixel.py" "$WORK/window.png" 0 0 | json 'd["size"]')" "[750, 1334]"
check "the frames are a pixel a point again" eventually frames_are 375

# The display killed, then shutdown: the window goes with the device.
kill -9 "$(cat "$DEV/run/display.pid")"
sim shutdown >/dev/null
gone() { ! xdotool search --name " - Calmora device$" >/dev/null 2>&1; }
check "shutdown ends the window of a killed display" eventually gone

echo "desk_e2e: $passed passed, $failed failed"
((failed == 0))
