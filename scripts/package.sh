#!/usr/bin/env bash
# Builds the packages: the optimised programs with their man pages and icons
# (preset "package"), then the .deb and the .tar.gz in build/package/packages/.
# With --check, also runs scripts/package-check.sh on what it built.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${KORVANE_JOBS:-2}"
cmake --preset package >/dev/null
cmake --build --preset package -j "$jobs"
rm -rf build/package/packages
cpack --config build/package/CPackConfig.cmake -B build/package/packages >/dev/null
rm -rf build/package/packages/_CPack_Packages
ls -l build/package/packages/
if [ "${1:-}" = "--check" ]; then
  scripts/package-check.sh
fi
