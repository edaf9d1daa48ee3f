#!/usr/bin/env bash
# Runs the fuzz targets of tests/fuzz/ (libFuzzer, built by the fuzz preset
# with clang 14, AddressSanitizer and UndefinedBehaviorSanitizer).
#   scripts/fuzz.sh TARGET SECONDS   runs one target, e.g. fuzz_read_reply 300
#   scripts/fuzz.sh --all SECONDS    runs every target in turn (CI)
# Each run starts from the seeds in tests/fuzz/corpus/TARGET/ (regression
# cases included) plus what earlier runs found, kept in build/fuzz/corpus/.
# It prints one line per target: executions, executions per second, edges
# covered. A crash fails the run; its input is left in build/fuzz/crashes/
# (add it to the seed corpus once the fault is fixed).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stage.sh

if [ $# -ne 2 ]; then
  echo "usage: $0 TARGET|--all SECONDS" >&2
  exit 2
fi
seconds=$2
use_ccache
mkdir -p build
if ! { cmake --preset fuzz && cmake --build --preset fuzz -j "${KORVANE_JOBS:-2}"; } \
  >build/fuzz-build.log 2>&1; then
  tail -n 40 build/fuzz-build.log >&2
  exit 1
fi

run_one() {
  local target=$1 work="build/fuzz/corpus/$1" crashes="build/fuzz/crashes/$1/" log="build/fuzz/$1.log"
  mkdir -p "$work" "$crashes"
  local status=0
  "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes" \
    "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  local runs speed edges
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  printf '%-20s %10s runs %8s exec/s %6s edges  %s\n' "$target" "${runs:-?}" "${speed:-?}" \
    "${edges:-?}" "$([ $status -eq 0 ] && echo clean || echo "FAILED (exit $status)")"
  if [ $status -ne 0 ]; then
    grep -E 'ERROR|SUMMARY|property failed|Test unit written' "$log" | head -n 20 >&2
  fi
  return $status
}

if [ "$1" = "--all" ]; then
  failed=0
  for dir in tests/fuzz/corpus/*/; do
    run_one "$(basename "$dir")" || failed=1
  done
  exit $failed
fi
run_one "$1"
