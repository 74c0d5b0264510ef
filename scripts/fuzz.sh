#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (plus ASan and UBSan) and
# runs one target, or each in turn, for a while (default 60 s each) or ten
# million executions, whichever comes first. New
# inputs collect in build-fuzz/corpus-<target>; a finding stops the run and
# leaves its input as crash-* in build-fuzz/findings/.
#
#   scripts/fuzz.sh [seconds] [target]     targets: skype_receive csv_import
#       campaign settings do_not_call wav mp3 version (default: all)
#
# Each run's figures (executions, time, new inputs) are appended to
# build-fuzz/fuzz-results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
only="${2:-}"
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, not '$seconds'" >&2; exit 2;; esac
targets=(skype_receive:skype csv_import:csv_import campaign:campaign settings:settings do_not_call:do_not_call
         wav:wav mp3:mp3 version:version)
if [ -n "$only" ]; then
  found=""
  for t in "${targets[@]}"; do [ "${t%%:*}" = "$only" ] && found="$t"; done
  if [ -z "$found" ]; then echo "fuzz.sh: no target '$only'" >&2; exit 2; fi
  targets=("$found")
fi
[ "${ZORVAN_SKIP_SETUP:-}" = 1 ] || bash scripts/setup.sh
# ZORVAN_FUZZ_PREBUILT=1 runs the targets as built, so that two runs can go
# side by side without configuring the same tree at once.
if [ "${ZORVAN_FUZZ_PREBUILT:-}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZORVAN_FUZZ=ON -DZORVAN_SANITIZE=ON >/dev/null
  names=()
  for t in "${targets[@]}"; do names+=("${t%%:*}_fuzzer"); done
  cmake --build build-fuzz --target "${names[@]}"
fi
mkdir -p build-fuzz/findings
# Each input is a file the readers open: keep them in memory.
export TMPDIR="${TMPDIR:-/dev/shm}"
for t in "${targets[@]}"; do
  name="${t%%:*}"
  seeds="${t##*:}"
  mkdir -p "build-fuzz/corpus-$name"
  log="build-fuzz/fuzz-$name.log"
  max_len=4096
  case "$name" in wav|mp3|csv_import|campaign) max_len=16384;; esac
  status=0
  "./build-fuzz/fuzz/${name}_fuzzer" -max_total_time="$seconds" -runs=10000000 -max_len="$max_len" -timeout=30 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/findings/ \
    "build-fuzz/corpus-$name" "fuzz/corpus/$seeds" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  took=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | grep -o 'in [0-9]*' | grep -o '[0-9]*' || true)
  verdict=$([ "$status" = 0 ] && echo "no finding" || echo "FINDING (see $log)")
  line="$(date -u +%Y-%m-%dT%H:%MZ) $name: $runs executions, ${took:-$seconds}s, $verdict"
  echo "$line" | tee -a build-fuzz/fuzz-results.txt
  [ "$status" = 0 ] || exit 1
done
