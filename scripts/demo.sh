#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo on a fresh demo device
# (demo-device/ unless a folder is given).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
echo "Building into build/ (the first build takes about ten minutes on two cores; later ones, seconds)"
scripts/build.sh >/dev/null
exec tools/demo/demo.sh "${1:-demo-device}"
