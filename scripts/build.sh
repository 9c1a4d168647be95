#!/usr/bin/env bash
# Builds Calmora: scripts/build.sh [--sanitize]. Plain builds go to build/,
# the AddressSanitizer + UndefinedBehaviorSanitizer build to build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=()
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=build-asan
  flags=(-DCALMORA_SANITIZE=ON -DCALMORA_BENCH=OFF)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j2
