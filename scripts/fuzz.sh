#!/usr/bin/env bash
# Builds the libFuzzer targets in the sanitizer build (build-asan/: clang,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each of them.
#
#   scripts/fuzz.sh --ci               each target for a fixed number of runs
#                                      from its seeds (CI; about two minutes)
#   scripts/fuzz.sh [--time SECONDS] [TARGET...]
#                                      each target (default: all) for SECONDS
#                                      (default 600), keeping what it learns in
#                                      build-asan/corpus/TARGET between runs
#
# A crash or a broken property stops the script; libFuzzer writes the input
# as build-asan/artifacts/TARGET-crash-*, which the target replays when given
# the file: build-asan/bin/TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

ci=0
seconds=600
targets=()
while (($#)); do
  case "$1" in
    --ci) ci=1 ;;
    --time) seconds="$2"; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

# Runs for CI: each about 10 to 30 seconds, all together about two and a half
# minutes on one core.
declare -A ci_runs=(
  [fuzz_plist]=120000
  [fuzz_settings]=120000
  [fuzz_color]=1000000
  [fuzz_vcard]=50000
  [fuzz_rules]=15000
  [fuzz_logs]=8000
  [fuzz_signals]=12000
)
# The engine's targets run a home screen that keeps a record of every event,
# which libFuzzer's leak check takes for a leak of every input (and slows to
# a crawl scanning); leaks of the home screen are the soak's to find.
declare -A extra=(
  [fuzz_rules]=-detect_leaks=0
  [fuzz_logs]=-detect_leaks=0
  [fuzz_signals]=-detect_leaks=0
)
all=(fuzz_plist fuzz_settings fuzz_color fuzz_vcard fuzz_rules fuzz_logs fuzz_signals)
((${#targets[@]})) || targets=("${all[@]}")

scripts/install-deps.sh --sanitize
scripts/build.sh --sanitize "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-asan/artifacts
# The targets' devices live in a scratch folder: libFuzzer ends a process
# without running the destructors that would remove them.
scratch=$(mktemp -d /tmp/calmora-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/$t"
  if ((ci)); then
    # A scratch corpus, so that every CI run starts from the same seeds.
    work=$(mktemp -d)
    limit=(-runs="${ci_runs[$t]}" -seed=1)
  else
    work="build-asan/corpus/$t"
    mkdir -p "$work"
    limit=(-max_total_time="$seconds")
  fi
  start=$SECONDS
  status=0
  build-asan/bin/"$t" "${limit[@]}" ${extra[$t]:-} -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="build-asan/artifacts/$t-" "$work" "$seeds" 2>"build-asan/$t.log" || status=$?
  ((ci)) && rm -rf "$work"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-asan/$t.log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "build-asan/$t.log")
  echo "$t: ${runs:-?} runs in $((SECONDS - start)) s, peak RSS ${rss:-?} MB"
  if ((status)); then
    tail -n 60 "build-asan/$t.log"
    echo "$t failed; the input is in build-asan/artifacts/" >&2
    exit "$status"
  fi
done
