#!/usr/bin/env bash
# Builds and runs every test: the format check, the dev build, then the whole
# suite under AddressSanitizer + UndefinedBehaviorSanitizer, then the serial
# code and the editor's loop under ThreadSanitizer; the optimised build is
# built whole and runs a short soak, the fuzz targets run a while, the
# Windows build (with Qt for Windows, built once and cached) runs its tests,
# its korvane-cli and its packaged editor under Wine, and the packages are
# built and checked. Pass --quick to run the dev build
# only. Each stage prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stage.sh

stage "setup" scripts/setup.sh
use_ccache

jobs="${KORVANE_JOBS:-2}"
presets=(dev asan tsan)
quick=0
if [ "${1:-}" = "--quick" ]; then presets=(dev); quick=1; fi

configure_and_build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

# Its output goes to a log; the tail tells whether it came from the cache.
build_qt_windows() {
  mkdir -p build
  if ! nice -n 19 scripts/build-qt-windows.sh >build/qt-windows.log 2>&1; then
    tail -n 40 build/qt-windows.log
    return 1
  fi
  tail -n 2 build/qt-windows.log
}

if ((!quick)); then stage "format check" scripts/check-format.sh; fi
for preset in "${presets[@]}"; do
  stage "$preset: configure and build" configure_and_build "$preset"
done
if ((!quick)); then stage "clang-tidy" scripts/check-tidy.sh; fi
if ((!quick)); then
  # The optimised build that the run command uses must build too, tests included.
  stage "release: build everything" bash -c "cmake --preset release >/dev/null &&
    cmake --build --preset release -j $jobs"
  # Programs and reads back simulators through both loops; descriptors,
  # threads and memory must not grow, no cycle may fail.
  stage "soak: 2 cycles on 4 simulators" build/release/tests/soak/soak --sims 4 --cycles 2
  stage "Qt for Windows (built once per recipe, then cached)" build_qt_windows
  # Each fuzz target for a while, from its seeds and what earlier runs found.
  stage "fuzz: build, then each target for ${KORVANE_FUZZ_SECONDS:-20} s" \
    scripts/fuzz.sh --all "${KORVANE_FUZZ_SECONDS:-20}"
  stage "mingw: Windows build, tested under Wine" scripts/wine-test.sh
  # A broken install rule or package fails here: scratch-root install, lintian,
  # and the installed programs run from a read-only folder.
  stage "package: build and check the .deb and .tar.gz" scripts/package.sh --check
fi
run_tests() {
  ctest --preset "$1" -j "$jobs" | tee "build/$1/ctest-summary.log"
}
for preset in "${presets[@]}"; do
  stage "$preset: test" run_tests "$preset"
done
if ((!quick)); then
  # korvane-cli on the kernel's FTDI and 8250 drivers in a QEMU guest.
  stage "real drivers: korvane-cli in a QEMU guest" scripts/real-driver-test.sh build/dev
fi
stage_summary
# The closing line counts every preset's tests (ctest stops the script on a failure).
for preset in "${presets[@]}"; do cat "build/$preset/ctest-summary.log"; done |
  sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' |
  awk '{ failed += $1; total += $2 } END { printf "tests: %d passed, %d failed\n", total - failed, failed }'
