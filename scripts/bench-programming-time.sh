#!/usr/bin/env bash
# Programming time against an on-time simulator, for one or more builds in the
# same run (rounds interleaved, so that the machine's load falls on all alike).
# For each build: korvane-cli's own time for `write --no-verify` (the JSON
# duration_ms: opening the port to the last acknowledgement) and the editor's
# write as the GUI end-to-end test times it (its programming_seconds).
# Usage: scripts/bench-programming-time.sh [-n ROUNDS] [--no-editor] DIR...
#   DIR is a build folder (build/dev) or a folder holding korvane-cli,
#   korvane-sim and gui_e2e_tests side by side. Default: build/dev, 5 rounds.
set -euo pipefail

rounds=5
editor=1
dirs=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) rounds="$2"; shift 2 ;;
    --no-editor) editor=0; shift ;;
    *) dirs+=("$1"); shift ;;
  esac
done
[ ${#dirs[@]} -gt 0 ] || dirs=(build/dev)

# The program `name` of a build folder, in its build place or beside the others.
program() {
  local dir="$1" name="$2" place="$3"
  if [ -x "$dir/$place/$name" ]; then echo "$dir/$place/$name"; else echo "$dir/$name"; fi
}

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work"
printf '[Button1]\r\nButtonDownSend1=0102FF\r\nButtonUpSend4=A0B1C2D3\r\n' >"$work/codes.IOS"

"$(program "${dirs[0]}" korvane-sim tools/sim)" >"$work/sim.out" 2>/dev/null &
sim_pid=$!
for _ in $(seq 1 50); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
port=$(cut -d' ' -f1 "$work/sim.out")

cli_ms() {
  "$1" write --json --no-verify -p "$port" "$work/codes.IOS" 2>/dev/null |
    python3 -c 'import json,sys; p=json.load(sys.stdin)["ports"][0]; print(p["duration_ms"] if p["exit"] == 0 else "failed")'
}

editor_ms() {
  QT_QPA_PLATFORM=offscreen "$1" --gtest_filter='GuiEndToEnd.ProgramsTheDeviceAndReadsTheTableBack' \
    --gtest_output="json:$work/gui.json" >/dev/null 2>&1 || true
  python3 -c 'import json,sys
t=json.load(open(sys.argv[1]))["testsuites"][0]["testsuite"][0]
# The test records the time only after a success; its own time limit may fail it.
print(round(float(t["programming_seconds"])*1000) if "programming_seconds" in t else "failed")' "$work/gui.json"
}

for round in $(seq 1 "$rounds"); do
  for dir in "${dirs[@]}"; do
    echo "cli $dir $(cli_ms "$(program "$dir" korvane-cli tools/cli)")" >>"$work/results"
    if [ "$editor" = 1 ]; then
      echo "editor $dir $(editor_ms "$(program "$dir" gui_e2e_tests tests/e2e)")" >>"$work/results"
    fi
  done
  echo "round $round of $rounds done" >&2
done

python3 - "$work/results" <<'EOF'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    what, build, ms = line.split()
    runs.setdefault((what, build), []).append(ms)
for (what, build), values in runs.items():
    good = [int(v) for v in values if v != "failed"]
    failed = len(values) - len(good)
    if not good:
        print(f"{what:6} {build}: all {failed} runs failed")
        continue
    median = statistics.median(good)
    print(f"{what:6} {build}: median {median / 1000:.3f} s, min {min(good) / 1000:.3f} s, "
          f"max {max(good) / 1000:.3f} s, {len(good)} runs, {failed} failed, "
          f"median / 5.5 s = {median / 5500:.4f}")
EOF
