#!/usr/bin/env bash
# The Settings app with a test pane: rows from entry plists, the pane's page
# from its plist, each cell's value reaching the page with its type, links,
# list pages, the named action, and broken entries left inert.
# Usage: prefs_e2e.sh BIN_DIR PANE_STAGE (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
stage=$2
APP=com.apple.Preferences
source "$(dirname "$0")/../support/e2e_prelude.sh"
texts='[n.get("text") for n in nodes]'
# What the pane was handed: KEY's value as "TYPE VALUE".
received() {
  python3 -c "
import plistlib, sys
try: d = plistlib.load(open('$PREFS/sim.test.pane.received.plist', 'rb'))
except FileNotFoundError: d = {}
v = d.get('$1')
print(type(v).__name__, v)"
}
# Waits (5 s at most) until the pane was handed "TYPE VALUE" (a pattern) for KEY.
expect() {
  matches() { [[ $(received "$1") == $2 ]]; }
  eventually matches "$1" "$2" || fail "$1: wanted '$2', got '$(received "$1")'"
}
# Taps a point of the element with identifier $1 at fraction $2 of its width.
tapIn() {
  local at
  at=$(q "next(f'{x + w * $2} {y + h / 2}' for x, y, w, h in [n['frame'] for n in nodes if n.get('identifier') == '$1'])")
  ui tap --at $at >/dev/null || fail "tap in $1"
}

cp -r "$stage/Library" "$DEV/"
# Hostile panes: a FIFO as the library and as the icon, and an icon that is
# a link to an image out of the bundle. None may hold the app or be loaded.
hostilePane() {  # NAME LABEL
  local bundle="$DEV/Library/PreferenceBundles/$1.bundle"
  mkdir -p "$bundle"
  sed "s/TestPane/$1/; s/Test Pane/$2/; s|<key>label</key>|<key>icon</key><string>icon.png</string><key>label</key>|" \
    "$stage/Library/PreferenceLoader/Preferences/TestPane.plist" >"$DEV/Library/PreferenceLoader/Preferences/$1.plist"
  echo "$bundle"
}
fifo=$(hostilePane FifoPane "Fifo Pane")
mkfifo "$fifo/FifoPane" "$fifo/icon.png"
linked=$(hostilePane LinkedPane "Linked Pane")
cp "$(dirname "$0")/../../platform/settings_app/AppIcon.png" "$DEV/outside.png"
ln -s "$DEV/outside.png" "$linked/icon.png"
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
pid=$(sim launch "$APP" | json 'd["pid"]') || fail "launch"

# The root lists the built-in rows and one row per entry; a file that is
# no entry makes none.
ui wait "Test Pane" >/dev/null || fail "no row for the test pane"
[[ $(q "sorted({t for t in $texts if t and 'Pane' in t})") == "['Broken Pane', 'Classless Pane', 'Fifo Pane', 'Linked Pane', 'Test Pane']" ]] ||
  fail "pane rows: $(q "$texts")"
ui wait General >/dev/null || fail "no built-in row"

# logged PATTERN: the app's log has a line matching PATTERN (5 s at most).
logged() { eventually grep -q "$1" "$DEV/var/log/$APP.log"; }
# A missing bundle and a missing class leave their rows inert, the app
# running; the line each logs says the tap was handled.
for row in "Broken Pane:the bundle .*Missing.bundle is missing" "Classless Pane:no page class named NoSuchController"; do
  ui tap "${row%%:*}" >/dev/null || fail "tap ${row%%:*}"
  logged "${row#*:}" || fail "no line for ${row%%:*}"
  [[ $(q "'Enabled' in $texts, 'General' in $texts") == "(False, True)" ]] || fail "${row%%:*} opened something"
done
ui tap "Fifo Pane" >/dev/null || fail "tap the pane whose library is a FIFO"
ui wait General --timeout 3 >/dev/null || fail "a FIFO as a pane's library held the app"
grep -q "FifoPane.bundle/FifoPane: a FIFO" "$DEV/var/log/$APP.log" || fail "no line for the FIFO library"
grep -q "LinkedPane.bundle/icon.png: leads out of" "$DEV/var/log/$APP.log" || fail "an icon out of its bundle was read"

ui tap "Test Pane" >/dev/null || fail "tap the pane's row"
ui wait Enabled >/dev/null || fail "the pane's first page did not show"
[[ $(q "'Unknown kind' in $texts, 'Changes are recorded.' in $texts") == "(False, True)" ]] ||
  fail "the page's rows: $(q "$texts")"
[[ $(q "[n['frame'][3] for n in nodes if n.get('identifier') == 'testHeader']") == "[93.75]" ]] ||
  fail "the header's height for the table's width"
[[ $(q "[n['value'] for n in nodes if n.get('identifier') == 'volume']") == "[2.5]" ]] ||
  fail "the slider does not show its default"

ui toggle Enabled >/dev/null || fail "toggle"
expect enabled "bool True"
tapIn mode 0.9
expect mode "int 2"
tapIn volume 0.5
expect volume "float [45].*"  # the middle of the track, give or take a point
ui tap --id name >/dev/null && ui type Ada >/dev/null || fail "type"
[[ $(received name) == "NoneType None" ]] || fail "the text was handed over before editing ended"
# Tapping the button ends the editing first, then runs the named action.
ui tap Ping >/dev/null || fail "tap Ping"
expect name "str Ada"
expect ping "str nested"

ui tap Sound >/dev/null || fail "tap the link list"
ui wait Bell >/dev/null || fail "the list-items page"
ui tap Bell >/dev/null || fail "tap Bell"
expect sound "str 1005"
ui back >/dev/null || fail "back from the list"
ui wait Enabled >/dev/null || fail "back on the first page"
[[ $(q "[n.get('detail') for n in nodes if n['class'] == 'UITableViewCell' and n.get('text') == 'Sound']") == "['Bell']" ]] ||
  fail "the link list shows the value read anew"

ui tap More >/dev/null || fail "tap the link"
ui wait "Detail page" >/dev/null || fail "the link did not push its detail page"
ui back >/dev/null || fail "back from the detail page"
ui wait Ping >/dev/null || fail "back on the first page"
ui scroll --row 3 --section 1 >/dev/null || fail "scroll"
[[ $(q "'Static words' in $texts") == "True" ]] || fail "no static text"
ui tap Nowhere >/dev/null || fail "tap a link to a missing class"
logged "no page class named MissingController" || fail "no line for the missing class"
[[ $(q "'Ping' in $texts") == "True" ]] || fail "a link to a missing class opened something"
[[ $(sim launch "$APP" | json 'd["pid"]') == "$pid" ]] ||
  fail "the Settings app did not keep running"
echo "ok"
