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

# The simulator prints "NAME PATH" once its port is published.
exec {simout}< <(exec "$bin/tools/sim/korvane-sim")
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
if ! read -r -t 10 port path <&"$simout"; then
  echo "run: the virtual device did not start" >&2
  exit 1
fi
echo "run: virtual device $port on $path"
"$bin/ui/korvane-editor" "$@"
