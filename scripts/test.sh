#!/usr/bin/env bash
# Builds and runs every test: the dev build, then the whole suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the serial code under
# ThreadSanitizer; the optimised tools are built as well, and the Windows
# build runs its tests and its korvane-cli under Wine. Pass --quick to run the
# dev build only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs="${KORVANE_JOBS:-2}"
presets=(dev asan tsan)
if [ "${1:-}" = "--quick" ]; then presets=(dev); fi

for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
if [ "${1:-}" != "--quick" ]; then
  # The optimised build that the run command uses must build too.
  echo "== release: build the tools"
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs" --target korvane-editor korvane-sim korvane-cli
fi
if [ "${1:-}" != "--quick" ]; then
  echo "== mingw: Windows build, tested under Wine"
  scripts/wine-test.sh
fi
for preset in "${presets[@]}"; do
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs"
done
