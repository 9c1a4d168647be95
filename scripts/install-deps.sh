#!/usr/bin/env bash
# Installs the Debian packages Calmora builds and runs with, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libplist-dev libplist++-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  dbus dbus-daemon dbus-bin
  fonts-dejavu-core python3 procps
  # The device's display (a Wayland compositor) and its clients.
  qt6-wayland-dev qt6-wayland libqt6opengl6-dev qt6-declarative-dev libxkbcommon-dev
  # The device window (it raises itself through X) and its tests: an X
  # server, real X mouse and key events, the clipboard, another window.
  libxcb1-dev xvfb xdotool xclip x11-utils
  # The device in a browser (simctl serve), and its test in a real browser.
  qt6-httpserver-dev qt6-websockets-dev chromium chromium-driver python3-selenium curl
  # The home screen's records: call history, delivered notifications.
  libsqlite3-dev
  # Numbers as a phone reads them.
  libphonenumber-dev
  # Sounds out loud: Qt Multimedia (libqt6multimedia6 plays through PulseAudio
  # with libpulse0); the sound test's own PulseAudio server, its null sink and
  # parec.
  qt6-multimedia-dev pulseaudio pulseaudio-utils
)
# The sanitizer build, fuzzers included, is a clang build.
if [[ "${1:-}" == "--sanitize" ]]; then
  packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
