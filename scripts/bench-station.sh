#!/usr/bin/env bash
# A programming station under load: korvane-cli station with eight slots, a
# simulated unit plugged into each slot again a few seconds after the last one
# was done and pulled, for a while; prints the units per hour per slot against
# the protocol's ideal, then the CPU the station uses while idle and waiting
# (goal: under 1 % of a core).
# Usage: scripts/bench-station.sh [BUILD_DIR] [SECONDS] [SWAP_SECONDS]
#        (default build/dev, 180, 2)
set -euo pipefail

build="$(realpath "${1:-build/dev}")"
duration="${2:-180}"
swap="${3:-2}"
slots=8
cli="$build/tools/cli/korvane-cli"
sim="$build/tools/sim/korvane-sim"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work"
printf '[Button1]\r\nButtonDownSend1=0102FF\r\nButtonUpSend4=A0B1C2D3\r\n' >"$work/codes.IOS"
ports=()
for i in $(seq 1 "$slots"); do ports+=(-p "U$i"); done

results() { grep -c "\"event\":\"result\",\"t_ms\":[0-9]*,\"slot\":$1," "$work/events" || true; }

# One slot's operator: plug a unit in, wait for its result, pull it out,
# take the next one.
operate() {
  local slot=$1 end=$2 done=0 simpid
  while [ "$(date +%s)" -lt "$end" ]; do
    "$sim" --name "U$slot" >/dev/null 2>&1 &
    simpid=$!
    done=$((done + 1))
    while [ "$(results "$slot")" -lt "$done" ]; do sleep 0.2; done
    kill "$simpid"
    wait "$simpid" 2>/dev/null || true
    sleep "$swap"
  done
}

"$cli" station "${ports[@]}" --json "$work/codes.IOS" >"$work/events" 2>"$work/errors" &
station=$!
pids+=("$station")
end=$(($(date +%s) + duration))
operators=()
for i in $(seq 1 "$slots"); do
  operate "$i" "$end" &
  operators+=($!)
done
pids+=("${operators[@]}")
wait "${operators[@]}"

# Idle: every slot armed, no unit anywhere.
ticks() { awk '{print $14 + $15}' "/proc/$station/stat"; }
hz=$(getconf CLK_TCK)
idle=30
before=$(ticks)
sleep "$idle"
after=$(ticks)

kill -INT "$station"
wait "$station" || true
summary=$(grep '"event":"summary"' "$work/events")
ok=$(grep -c '"result":"ok"' "$work/events" || true)
failed=$(grep -c '"event":"result"' "$work/events" || true)
failed=$((failed - ok))
seconds=$(echo "$summary" | sed 's/.*"duration_ms":\([0-9]*\).*/\1/')
seconds=$(echo "($seconds / 1000) - $idle" | bc -l)
per_slot=$(echo "$ok * 3600 / $seconds / $slots" | bc -l)
# A unit at its fastest: handshake 0.5 s, five blocks of 1.0 s, the read-back
# reply 3.2 s on the wire and 0.1 s of quiet.
unit=8.8
printf 'units: %d ok, %d failed in %.0f s on %d slots (swap %s s)\n' "$ok" "$failed" "$seconds" \
  "$slots" "$swap"
printf 'per slot: %.0f units/hour; ideal %.0f/hour (%.1f s a unit), %.0f/hour with the swap\n' \
  "$per_slot" "$(echo "3600 / $unit" | bc -l)" "$unit" "$(echo "3600 / ($unit + $swap)" | bc -l)"
grep -o '"exit":[0-9]*,"message":"[^"]*"' "$work/events" | grep -v '"exit":0,' | sort | uniq -c |
  sed 's/^/failed: /' || true
printf 'idle CPU: %.2f %% of a core over %d s (goal < 1 %%)\n' \
  "$(echo "($after - $before) * 100 / $hz / $idle" | bc -l)" "$idle"
