# Sourced by the end-to-end scripts that count checks on one device: with
# SIMCTL (the simctl program) and WORK (a scratch folder) set, it defines the
# device's paths, the clean-up, and check/sim/is/quietly.
DEV=$WORK/device
PREFS=$DEV/var/mobile/Library/Preferences
BOOK=$DEV/var/mobile/Library/AddressBook/contacts.vcf
mkdir -p "$PREFS" "$(dirname "$BOOK")"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  timeout 30 "$SIMCTL" shutdown "$DEV" >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

passed=0 failed=0
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
sim() { timeout 30 "$SIMCTL" "$1" "$DEV" "${@:2}"; }
quietly() { "$@" >/dev/null; }
is() { [ "$1" = "$2" ] || { echo "  got '$1', want '$2'"; return 1; }; }
