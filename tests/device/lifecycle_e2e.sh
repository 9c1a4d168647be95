#!/usr/bin/env bash
# simctl and the life of the home-screen process: a pid file that names a
# stranger, a process that does not answer, a start that does not finish.
# Usage: lifecycle_e2e.sh BIN_DIR (run under dbus-run-session).
set -uo pipefail
SIMCTL=$1/simctl
source "$(dirname "$0")/../support/e2e_prelude.sh"
# This device's springboard processes (zombies have no command line).
springboards() {
  for f in /proc/[0-9]*/cmdline; do
    [[ "$(tr '\0' ' ' 2>/dev/null < "$f")" == *"springboard $DEV " ]] && { f=${f#/proc/}; echo "${f%/cmdline}"; }
  done
}
on_exit() { for p in $(springboards); do kill -KILL "$p"; done; }
gone() { ! alive "$1"; }

# A pid file naming a process that is not the device's: shutdown leaves the
# process alone and removes the record.
mkdir -p "$DEV/run"
sleep 1000 &
stranger=$!
PIDS+=("$stranger")
echo "$stranger" > "$DEV/run/springboard.pid"
sim shutdown >/dev/null 2>&1 || fail "shutdown with a stale pid file"
kill -0 "$stranger" 2>/dev/null || fail "shutdown killed a stranger"
[[ ! -e "$DEV/run/springboard.pid" ]] || fail "the stale pid file is still there"

# SIGTERM ends a running home screen as quit does: its pid file and its
# socket go with it.
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
pid=$(cat "$DEV/run/springboard.pid")
kill -TERM "$pid"
eventually gone "$pid" || fail "SIGTERM did not end the home screen"
[[ ! -e "$DEV/run/springboard.pid" && ! -e "$DEV/run/springboard.sock" ]] || fail "SIGTERM left the pid file or the socket"

# A home screen that no pid file names (one a respring was starting, still
# waiting for its predecessor's channel): shutdown stops it too, where it
# came up after it.
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
# (on a platform of its own, so that the display's end does not end it)
QT_QPA_PLATFORM=minimal XDG_RUNTIME_DIR=$DEV/run "$1/springboard" "$DEV" >/dev/null 2>&1 &
successor=$!
sim shutdown >/dev/null || fail "shutdown with a successor starting"
none_left() { [[ -z "$(springboards)" ]]; }
eventually none_left || fail "a home screen outlived the shutdown: $(springboards)"
wait "$successor" 2>/dev/null

# A process that is alive but does not answer times out, and shutdown
# still stops it.
timeout 60 "$SIMCTL" boot "$DEV" >/dev/null || fail "boot"
pid=$(cat "$DEV/run/springboard.pid")
kill -STOP "$pid"
SIMCTL_TIMEOUT=1 sim appear 2>"$DEV/appear.err" && fail "a stopped process answered"
grep -q "timed out" "$DEV/appear.err" || fail "not reported as timed out: $(cat "$DEV/appear.err")"
sim shutdown >/dev/null || fail "shutdown of a stopped process"
[[ -z "$(springboards)" ]] || fail "the stopped process survived shutdown"

# A start that blocks (an injected library is a pipe nobody writes): boot
# gives up and stops the process it started, which left its pid file first.
libs=$DEV/Library/MobileSubstrate/DynamicLibraries
mkdir -p "$libs"
mkfifo "$libs/Blocker.so"
printf '<plist><dict><key>Filter</key><dict><key>Bundles</key><array><string>com.apple.springboard</string></array></dict></dict></plist>' \
  > "$libs/Blocker.plist"
SIMCTL_TIMEOUT=2 timeout 60 "$SIMCTL" boot "$DEV" >/dev/null 2>&1 && fail "boot of a blocked start succeeded"
[[ -z "$(springboards)" ]] || fail "a failed boot left its process running"
SIMCTL_TIMEOUT=5 timeout 60 "$SIMCTL" boot "$DEV" >/dev/null 2>&1 &
boot=$!
eventually --within 10 test -s "$DEV/run/springboard.pid" || fail "no pid file while starting"
sim shutdown >/dev/null || fail "shutdown while starting"
[[ -z "$(springboards)" ]] || fail "shutdown left a starting process running"
[[ ! -e "$DEV/run/springboard.sock" ]] || fail "the starting process left its socket"
wait "$boot" && fail "boot succeeded although its process was stopped"
echo "lifecycle end to end: ok"
