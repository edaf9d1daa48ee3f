#!/usr/bin/env bash
# Programs sixteen simulated devices in one korvane-cli run with --json and
# --log, and one device alone, and prints the wall time and CPU time of each
# run and their ratio. The goal: sixteen take no longer than 1.02 times one.
# Usage: scripts/bench-cli-stations.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail

build="${1:-build/dev}"
cli="$build/tools/cli/korvane-cli"
sim="$build/tools/sim/korvane-sim"
count=16
work=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work"
printf '[Button1]\r\nButtonDownSend1=0102FF\r\nButtonUpSend4=A0B1C2D3\r\n' >"$work/codes.IOS"
ports=()
for i in $(seq 1 "$count"); do
  "$sim" >"$work/sim$i.out" 2>&1 &
  sims+=($!)
done
for i in $(seq 1 "$count"); do
  for _ in $(seq 1 50); do
    [ -s "$work/sim$i.out" ] && break
    sleep 0.1
  done
  ports+=(-p "$(cut -d' ' -f1 "$work/sim$i.out")")
done

# Runs korvane-cli with the given ports; prints "wall_s cpu_s exit".
measure() {
  local start end exit=0 cpu
  start=$(date +%s.%N)
  /usr/bin/env time -f '%U %S' -o "$work/cpu" "$cli" write --json --log "$work/station.jsonl" \
    "$@" "$work/codes.IOS" >"$work/result.json" 2>/dev/null || exit=$?
  end=$(date +%s.%N)
  cpu=$(awk '{print $1 + $2}' "$work/cpu")
  echo "$(echo "$end - $start" | bc) $cpu $exit"
}

read -r one_wall one_cpu one_exit < <(measure "${ports[@]:0:2}")
read -r all_wall all_cpu all_exit < <(measure "${ports[@]}")
lines=$(wc -l <"$work/station.jsonl")
printf 'one device:      wall %.2f s, CPU %.2f s, exit %s\n' "$one_wall" "$one_cpu" "$one_exit"
printf '%d devices:      wall %.2f s, CPU %.2f s, exit %s\n' "$count" "$all_wall" "$all_cpu" "$all_exit"
printf 'ratio of walls:  %.3f (goal <= 1.02)\n' "$(echo "$all_wall / $one_wall" | bc -l)"
printf 'results log:     %d lines (expected %d)\n' "$lines" $((count + 1))
