#!/usr/bin/env bash
# Times korvane-cli against the paced simulator: write with verify, and read.
# The goals: write with verify <= 9.0 s, read <= 3.6 s (the reply alone is on
# the wire for about 3.2 s at 9600 baud).
# Usage: scripts/bench-cli-readback.sh [BUILD_DIR] [RUNS]   (default build/dev, 3)
set -euo pipefail

build="${1:-build/dev}"
runs="${2:-3}"
cli="$build/tools/cli/korvane-cli"
sim="$build/tools/sim/korvane-sim"
work=$(mktemp -d)
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work"
printf '[Button1]\r\nButtonDownSend1=0102FF\r\nButtonUpSend4=A0B1C2D3\r\n' >"$work/codes.IOS"
"$sim" --name BENCH1 >"$work/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 1 50); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done

# Runs korvane-cli with the arguments; prints the wall time in seconds.
wall() {
  local start end
  start=$(date +%s.%N)
  "$cli" "$@" -q >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

for i in $(seq 1 "$runs"); do
  printf 'write with verify: %.2f s (goal <= 9.0)\n' "$(wall write -p BENCH1 "$work/codes.IOS")"
done
for i in $(seq 1 "$runs"); do
  printf 'read:              %.2f s (goal <= 3.6)\n' "$(wall read -p BENCH1 -o "$work/back.IOS")"
done
