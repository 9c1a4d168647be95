#!/usr/bin/env bash
# The device window on a real X server, driven by X mouse and key events as
# a person would: it shows the app in front, a click is a tap that reaches
# the app and changes its settings, Home and the menus reach the device, it
# stays through a restart of the home screen, and closing it leaves the
# device running. Skips (77) only where Xvfb cannot start.
# Usage: window_e2e.sh BIN_DIR   (under dbus-run-session)
set -uo pipefail
SIMCTL=$1/simctl
APP=com.apple.Preferences
HERE=$(dirname "$0")
source "$HERE/../support/e2e_prelude.sh"
prefs=$PREFS/com.veltrane.calmoprefs.plist

x_server 1024x1024x24

# One contact blocked all week, with blocking off until the pane turns it on.
printf '%s\r\n' BEGIN:VCARD VERSION:3.0 "N:Zetterberg;Zoe;;;" UID:D-1 "TEL:+1 555 0101" END:VCARD >"$BOOK"
python3 -c 'import plistlib, sys
week = {k: v for d in range(1, 8) for k, v in (("weekday%d" % d, True), ("weekdayHour%d" % d, "00:00-23:59"))}
plistlib.dump({"isTweakEnabled": False, "ignoretime": False, "methodspecifier": 0,
               "D-1": dict(isBlocked=True, **{"com.apple.mobilephoneCall": True}, **week)}, open(sys.argv[1], "wb"))' "$prefs"
sim boot >/dev/null || fail "boot"
sim open >/dev/null || fail "simctl open"
win=$(xdotool search --sync --name " - Calmora device$" | head -1)
[[ -n $win ]] || fail "no window"
# The screen's top left on the X screen: the phone's body starts under the
# menu bar, and the screen lies 20x80 points into it at 100%.
eval "$(xdotool getwindowgeometry --shell "$win")"
menu=$((HEIGHT - (667 + 170)))
sx=$((X + 20)) sy=$((Y + menu + 80))
# shot: an X screenshot of the whole screen; rgb X Y: a point's colour of the
# latest shot, in the device's points.
shot() { python3 "$HERE/../support/x_grab.py" >"$WORK/shot.xwd"; }
rgb() { python3 "$HERE/../support/xwd_pixel.py" "$WORK/shot.xwd" $((sx + $1)) $((sy + $2)) | json 'd["pixels"][0]'; }
# click TEXT: a real click at the centre of the app's node showing TEXT.
click() {
  local at
  at=$(q "next(f'{int(n[\"frame\"][0] + n[\"frame\"][2] / 2)} {int(n[\"frame\"][1] + n[\"frame\"][3] / 2)}' for n in nodes if n.get('$2') == '$1')") ||
    return 1
  set -- $at
  xdotool mousemove $((sx + $1)) $((sy + $2)) click 1
}
front_is() { [[ $(sim apps | json 'd["shown"]') == "$1" ]]; }
q_is() { [[ $(q "$1") == "$2" ]]; }

home=$(cat "$DEV/run/springboard.pid")
check "the window shows the home screen" eventually front_is "$home"
# Keys reach the device before any click: Home, with the viewer in front.
sim launch com.veltrane.calmora >/dev/null || fail "launch the log viewer"
check "the viewer comes to front" eventually front_is "$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "com.veltrane.calmora"][0]')"
xdotool key --window "$win" ctrl+shift+h
check "Home, before any click, brings the home screen back" eventually front_is "$home"
# A click on the Settings icon opens Settings, in front.
APP=com.apple.springboard
click Settings text || fail "no Settings icon to click"
APP=com.apple.Preferences
# Settings answers once it runs, which takes a while on a loaded machine.
started() { for _ in $(seq 100); do ui wait "$1" >/dev/null 2>&1 && return 0; sleep 0.2; done; return 1; }
started Calmora || fail "the click on the icon did not open Settings"
settings=$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')
check "Settings is in front" eventually front_is "$settings"
click Calmora text || fail "no Calmora row to click"
ui wait Enabled >/dev/null || fail "the click on Calmora did not open the pane"
click UISwitch class || fail "no switch to click"
setting() { python3 -c "import plistlib; print(plistlib.load(open('$prefs', 'rb')).get('isTweakEnabled'))" 2>/dev/null; }
enabled() { [[ $(setting) == True ]]; }
check "the click on Enabled turned it on in the settings file" eventually enabled
# The window on the X screen shows the switch on (the pane's dark tint at
# the track's left end) and the next one, "Ignore schedule", still off (light).
switches_shown() {
  local at
  at=$(q "' '.join([f'{int(n[\"frame\"][0] + 10)} {int(n[\"frame\"][1] + n[\"frame\"][3] / 2)}' for n in nodes if n['class'] == 'UISwitch'][:2])")
  shot
  set -- $at
  python3 -c "import sys; on, off = $(rgb "$1" "$2"), $(rgb "$3" "$4"); sys.exit(not (sum(on) < 300 and sum(off) > 600))"
}
check "the window shows Enabled on and the next switch off" eventually switches_shown
# WINDOW_PICTURE=FILE keeps a picture of the window at this point (the README's).
[[ -n ${WINDOW_PICTURE:-} ]] &&
  python3 "$HERE/../support/xwd_pixel.py" "$WORK/shot.xwd" --png "$WINDOW_PICTURE" "$X" "$Y" "$WIDTH" "$HEIGHT" >/dev/null

# A drag scrolls the page: pressed on the footer text, moved up 200 points.
contacts_y() { q "[int(n['frame'][1]) for n in nodes if n.get('text') == 'Contacts'][0]"; }
before=$(contacts_y)
at=$(q "next(f'{int(n[\"frame\"][0] + 20)} {int(n[\"frame\"][1] + n[\"frame\"][3] / 2)}' for n in nodes if n.get('text', '').startswith('On: a window'))")
set -- $at
xdotool mousemove $((sx + $1)) $((sy + $2)) mousedown 1
for step in $(seq 1 10); do xdotool mousemove $((sx + $1)) $((sy + $2 - step * 20)); done
xdotool mouseup 1
scrolled() { local now; now=$(contacts_y) && ((now < before - 100)); }
check "a drag scrolls the page" eventually scrolled


# Typed keys reach the focused field, capitals and spaces included.
APP=com.veltrane.calmora
sim launch "$APP" >/dev/null || fail "launch the log viewer"
check "the log viewer is in front" eventually front_is "$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')"
click UITextField class || fail "no search field to click"
xdotool type --delay 30 "Mal O"
typed() { [[ $(q "[n.get('text') for n in nodes if n['class'] == 'UITextField'][0]") == "Mal O" ]]; }
check "typed keys reach the focused field" eventually typed

# The Device menu, by the keyboard as a person at it would: Alt+D, then the
# item's letter. Appearance > Dark turns the app in front dark at once, and
# Light back (a point of the empty list under the field).
menu() { xdotool key alt+d "$@"; }
list_is() { shot; rgb 187 500 | json "sum(d) $1 or exit(1)"; }
menu a d
check "Device > Appearance > Dark darkens the app in front" eventually list_is "< 100"
menu a l
check "Device > Appearance > Light lightens it again" eventually list_is "> 600"

# Home, by its keyboard shortcut: the home screen comes to front, the app
# keeps running behind it.
xdotool key --window "$win" ctrl+shift+h
check "Home brings the home screen to front" eventually front_is "$home"
check "the app keeps running behind it" is "$(sim apps | json '[a["state"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')" running

# Device > Restart Home Screen: the window stays open through it.
menu r
check "Device > Restart Home Screen restarts it" new_home_screen "$home"
check "the window stays through a respring" is "$(xdotool search --name " - Calmora device$" | head -1)" "$win"
check "simctl open finds it open" is "$(sim open | json 'd["already"]')" True
# The new home screen loaded the hook with blocking on: a call from the
# blocked contact shows the marker (red, bottom right of the status bar).
new_home() { [[ $(cat "$DEV/run/springboard.pid") != "$home" ]] && front_is "$(cat "$DEV/run/springboard.pid")"; }
check "the window shows the new home screen" eventually new_home
# Device > Incoming Call...: one dialog, the caller typed (or picked) and
# the app it comes through; it shows on the X screen (its light face where
# it stands, not black) and takes the keys.
# dialog TITLE: the id of the shown window of that title.
dialog() {
  local w
  for _ in $(seq 50); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [[ -n $w ]] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
# face WINDOW: the colour of a point inside WINDOW, on the X screen.
face() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  shot
  python3 "$HERE/../support/xwd_pixel.py" "$WORK/shot.xwd" $((X + 4)) $((Y + HEIGHT - 4)) | json 'd["pixels"][0]'
}
menu i
form=$(dialog "Incoming Call") || fail "Device > Incoming Call... opened no dialog"
check "the Incoming Call dialog shows on the X screen" python3 -c "import sys; sys.exit(sum($(face "$form")) < 600)"
xdotool key ctrl+a && xdotool type --delay 20 "Zoe Zetterberg" && xdotool key Tab && xdotool type P &&
  xdotool key Return
marker_shown() { shot; rgb 361 638 | json 'abs(d[0] - 0xE2) < 12 and d[1] < 70 and d[2] < 40 or exit(1)'; }
check "the window shows the marker after a blocked call" eventually marker_shown
blocked() {
  python3 -c 'import plistlib, sys
d = plistlib.load(open(sys.argv[1], "rb"))
print([(r["From"], r["appBID"]) for r in d.values()])' "$PREFS/com.veltrane.calmoraBlockedCalls.plist"
}
check "the log holds the blocked call, through Phone" is "$(blocked)" "[('Zoe Zetterberg', 'com.apple.mobilephone')]"
# An allowed call rings: the window shows the call screen, dark where the
# home screen's wallpaper was, and a click on Accept answers it.
menu i
dialog "Incoming Call" >/dev/null || fail "Device > Incoming Call... opened no dialog again"
xdotool key ctrl+a && xdotool type --delay 20 "Ann Archer" && xdotool key Return
call_shown() { shot; rgb 187 400 | json 'sum(d) < 120 or exit(1)'; }
check "the window shows the call screen of an allowed call" eventually call_shown
xdotool mousemove $((sx + 252)) $((sy + 555)) click 1
in_progress() { [[ $(home_q 'any(n.get("title") == "End" for n in nodes)') == True ]]; }
check "a click on Accept answers the call" eventually in_progress
sim end >/dev/null
# Keys typed at the log viewer's search field filter its rows as they come.
sim launch "$APP" >/dev/null || fail "launch the log viewer again"
check "the log viewer is in front again" eventually front_is "$(sim apps | json '[a["pid"] for a in d["apps"] if a["bundle"] == "'$APP'"][0]')"
click UITextField class || fail "no search field to click"
xdotool key ctrl+a BackSpace && xdotool type --delay 30 "zet"
check "typed keys filter the rows" eventually q_is 'len(rows)' 1
xdotool type "x"
check "and a key more filters them out" eventually q_is 'len(rows)' 0
# Her number typed as another phone would write it is her: blocked too.
menu i
dialog "Incoming Call" >/dev/null || fail "Device > Incoming Call... opened no dialog for a number"
xdotool key ctrl+a && xdotool type --delay 20 "+1 (555) 010-1" && xdotool key Return
two_blocked() { is "$(blocked)" "[('Zoe Zetterberg', 'com.apple.mobilephone'), ('Zoe Zetterberg', 'com.apple.mobilephone')]"; }
check "a number typed in Incoming Call is matched to the contact holding it" eventually two_blocked

# Closed, the window leaves the device running; open again shows it again.
xdotool key --window "$win" ctrl+w 2>/dev/null  # its key release finds the window gone
gone() { ! xdotool search --name " - Calmora device$" >/dev/null 2>&1; }
check "the window closes" eventually gone
check "the device runs on" is "$(sim status | json 'd["running"]')" True
check "simctl open shows it again" is "$(sim open | json 'd["already"]')" False
# Without a desktop, one line and status 1.
out=$(DISPLAY= "$SIMCTL" open "$DEV" 2>&1); status=$?
check "no desktop: one line, status 1" is "$status $(wc -l <<<"$out")" "1 1"

echo "window_e2e: $passed passed, $failed failed"
((failed == 0))
