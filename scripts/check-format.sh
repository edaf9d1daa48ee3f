#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 -r clang-format --dry-run --Werror
echo "format: $(git ls-files '*.cpp' '*.h' '*.c' | wc -l) files clean"
