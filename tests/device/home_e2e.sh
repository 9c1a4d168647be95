#!/usr/bin/env bash
# The home screen as a person sees it, through simctl ui: its icons and the
# marker the hook library adds are nodes of its tree and show in its
# screenshot; a tap on an icon opens the app in front; Home brings the home
# screen back with the app running behind it, and its icon brings the app
# back as it was.
# Usage: home_e2e.sh BIN_DIR TEST_APP_BUNDLE (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
bundle=$2
app=com.calmora.tests.exitapp
source "$(dirname "$0")/../support/e2e_prelude.sh"
# node PYTHON-EXPRESSION: over `nodes` (the home screen's tree, depth first,
# each with "parent", its parent's class).
node() {
  home tree | python3 -c '
import json, sys
def walk(n, parent=None):
    yield dict(n, parent=parent)
    for c in n.get("children", []): yield from walk(c, n["class"])
nodes = list(walk(json.load(sys.stdin)["tree"]))
print(eval(sys.argv[1]))' "$1"
}
front() { sim apps | json 'd.get("front")'; }

printf '<plist><dict><key>isTweakEnabled</key><true/></dict></plist>' > "$PREFS/com.veltrane.calmoprefs.plist"
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
sim install "$bundle" >/dev/null || fail "install"

# The icons, with the one just installed, and the status bar's time and the
# hidden marker where the status object places it.
[[ $(node 'len([n for n in nodes if n["class"] == "SBIconView" and n["parent"] == "SBHomeScreenView" and n["image"] == [60, 60]])') -gt 10 ]] ||
  fail "no icons: $(home tree)"
[[ $(node '[n["text"] for n in nodes if n["class"] == "SBIconView" and n["identifier"] == "'$app'"]') == "['Exit App']" ]] ||
  fail "no icon of the installed app"
node '[__import__("re").fullmatch(r"[0-2][0-9]:[0-5][0-9]", n["text"]) is not None for n in nodes if n["parent"] == "UIStatusBar"] == [True] or exit(1)' ||
  fail "no time in the status bar: $(home tree)"
marker='[([round(v, 2) for v in n["frame"]], n["visible"], n["backgroundColor"]) for n in nodes if n["class"] == "UILabel" and n["parent"] == "UIStatusBarWindow"]'
[[ $(node "$marker") == "[([356.25, 633.65, 10, 10], False, '#E22300FF')]" ]] || fail "the hidden marker: $(node "$marker")"
"$SIMCTL" post "$DEV" com.veltrane.calmo/show || fail "post show"
eventually node "$marker"' == [([356.25, 633.65, 10, 10], True, "#E22300FF")] or exit(1)' ||
  fail "the marker did not show in the tree"
[[ $(sim status | json 'd["marker"]["visible"]') == True ]] || fail "the status disagrees with the tree"
# At its centre (361.25, 638.65 points at scale 2), over the wallpaper.
sim screenshot "$WORK/home.png" >/dev/null || fail "screenshot"
python3 "$(dirname "$0")/../support/png_pixel.py" "$WORK/home.png" 722 1277 |
  json 'abs(d["pixels"][0][0] - 0xE2) < 8 and d["pixels"][0][1] < 60 and d["pixels"][0][2] < 30 or exit(1)' ||
  fail "the marker is not in the screenshot"

# A tap on the icon opens the app in front.
[[ $(front) == None ]] || fail "an app in front after boot: $(sim apps)"
pid=$(home tap "Exit App" | json 'd["app"]["pid"]') || fail "tap on the icon"
alive "$pid" || fail "the tapped app is not running"
[[ $(front) == "$app" ]] || fail "the tapped app is not in front: $(sim apps)"

# Home: the home screen in front, the app still running; its icon brings the
# same process back.
sim home | grep -q '"ok":true' || fail "home"
[[ $(front) == None ]] || fail "an app in front after Home: $(sim apps)"
alive "$pid" || fail "Home ended the app"
[[ $(home tap --id "$app" | json 'd["app"]["pid"]') == "$pid" ]] || fail "the icon started the app anew"
[[ $(front) == "$app" ]] || fail "the app did not come back to front: $(sim apps)"

# An app that ends leaves the home screen in front.
sim terminate "$app" >/dev/null || fail "terminate"
[[ $(front) == None ]] || fail "an ended app in front: $(sim apps)"
echo "home end to end: ok"
