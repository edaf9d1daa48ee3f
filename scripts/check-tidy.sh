#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the product's sources with the
# dev build's compile commands; any finding fails. Windows-only files are
# checked by the compiler of the mingw build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
db=build/dev/compile_commands.json
[ -f "$db" ] || { echo "check-tidy: $db is missing: build the dev preset first" >&2; exit 1; }
mapfile -t files < <(git ls-files 'model/*.cpp' 'serial/*.cpp' 'device/*.cpp' 'files/*.cpp' \
  'ui/*.cpp' 'tools/*.cpp' 'platform/*.cpp' | grep -v '/win32/')
printf '%s\0' "${files[@]}" |
  xargs -0 -P "${KORVANE_JOBS:-2}" -n 8 clang-tidy -p build/dev --quiet 2>/dev/null
echo "tidy: ${#files[@]} files clean"
