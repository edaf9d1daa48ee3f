#!/usr/bin/env bash
# Builds the tools and starts the editor with a virtual device attached, so
# that the editor lists the virtual port, opens it and lights its LED.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${KORVANE_JOBS:-2}" --target korvane-editor korvane-sim korvane-cli

bin=build/release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
run: no display found (DISPLAY and WAYLAND_DISPLAY are empty), so the editor
cannot show its window here. To run it on a virtual display:

    xvfb-run -a -s "-screen 0 1024x768x24" ./scripts/run.sh

The command-line tool needs no display:  $bin/tools/cli/korvane-cli --help
MSG
  exit 1
fi

"$bin/tools/sim/korvane-sim" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
# The simulator prints its port once it is published; the editor lists it at start.
for _ in $(seq 50); do
  if "$bin/tools/cli/korvane-cli" ports | grep -q '^KSIM'; then break; fi
  sleep 0.1
done
"$bin/ui/korvane-editor" "$@"
