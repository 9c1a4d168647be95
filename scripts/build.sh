#!/usr/bin/env bash
# Builds Calmora: scripts/build.sh [--sanitize]. Plain builds go to build/,
# the AddressSanitizer + UndefinedBehaviorSanitizer build to build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=build-asan
  # -O1 with line tables: readable reports at a fraction of the compile time.
  flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DCALMORA_SANITIZE=ON -DCALMORA_BENCH=OFF)
fi
# ccache, where installed, lets rebuilds and sibling checkouts reuse objects.
if command -v ccache >/dev/null; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j2
