#!/usr/bin/env bash
# Builds the tools and starts the editor with a virtual device attached.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${KORVANE_JOBS:-2}"
echo "run: the editor is not built yet; the build above produced the libraries and tests."
