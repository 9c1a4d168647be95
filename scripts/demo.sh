#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo on a fresh demo device
# (demo-device/ unless a folder is given): scripts/demo.sh [--window] [DIR].
# --window shows the device in its window on the desktop while it runs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
echo "Building into build/ (the first build takes about ten minutes on two cores; later ones, seconds)"
scripts/build.sh >/dev/null
window=()
[[ ${1:-} == --window ]] && { window=(--window); shift; }
exec tools/demo/demo.sh "${window[@]}" "${1:-demo-device}"
