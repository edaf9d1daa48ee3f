#!/usr/bin/env bash
# Takes the README's screenshots of the editor into docs/screenshots/ on a
# virtual display with a window manager, so that title bars show.
#   scripts/screenshots.sh [BUILD_DIR]     (default build/dev)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dev}
shots=$root/docs/screenshots
program=$build/bench/editor_screenshots
[ -x "$program" ] || { echo "screenshots: build the editor_screenshots target first" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$wm" "$xvfb" 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
mkdir -p "$shots"
cd "$shots"  # where the save dialog opens
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" "$shots"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" "$shots" en
