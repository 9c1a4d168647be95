#!/usr/bin/env bash
# Builds Calmora: scripts/build.sh [--sanitize] [TARGET...]. Plain builds go to
# build/; --sanitize builds with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, with the libFuzzer targets, so
# the sanitized suite and the fuzzers share one build. CALMORA_WERROR=ON in
# the environment (as CI sets it) makes every compiler warning an error.
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
flags+=("-DCALMORA_WERROR=${CALMORA_WERROR:-OFF}")
# ccache, where installed, lets rebuilds and sibling checkouts reuse objects.
# Files compiled with a precompiled header are cached only when ccache may
# ignore the header's __DATE__/__TIME__ and the macros it defines.
if command -v ccache >/dev/null; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
targets=()
(($#)) && targets=(--target "$@")
cmake --build "$dir" -j2 "${targets[@]}"
