#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite headless on a
# private session bus. scripts/test.sh --sanitize runs it in the sanitizer
# build instead.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=build-asan
  scripts/install-deps.sh --sanitize
else
  scripts/install-deps.sh
fi
scripts/build.sh "$@"

export QT_QPA_PLATFORM=offscreen
# LeakSanitizer cannot follow the bus daemon and Qt's plugin threads.
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1
dbus-run-session -- ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
