#!/usr/bin/env bash
# Builds Calmora: scripts/build.sh [--sanitize] [TARGET...]. Plain builds go to
# build/; --sanitize builds with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, with the libFuzzer targets, so
# the sanitized suite and the fuzzers share one build.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  dir=build-asan
  # -O1 with line tables: readable reports at a fraction of the compile time.
  # Naming the compiler here (not through CXX) also turns a build-asan/ made
  # by another compiler over to clang.
  flags=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1"
         -DCALMORA_SANITIZE=ON -DCALMORA_FUZZ=ON -DCALMORA_BENCH=OFF)
fi
# ccache, where installed, lets rebuilds and sibling checkouts reuse objects.
if command -v ccache >/dev/null; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
targets=()
(($#)) && targets=(--target "$@")
cmake --build "$dir" -j2 "${targets[@]}"
