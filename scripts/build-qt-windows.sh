#!/usr/bin/env bash
# Builds Qt for Windows (mingw-w64) from Debian's own source of the installed
# qt6-base, as shared DLLs, into a cache folder outside the clone:
#   ${KORVANE_CACHE:-/var/cache/korvane}/qt6-windows/<version>-<recipe hash>
# The recipe hash covers the configure options, the source patches below and
# the toolchain file, so a changed recipe builds afresh while an unchanged one
# is reused. An interrupted build resumes where it stopped. Prints the install
# prefix as its last line; --print-prefix prints it without building.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
jobs="${KORVANE_JOBS:-2}"

# The DLLs carry the compiler's runtime (-static), so that only Qt's own DLLs
# ship beside the program. What the editor does not use is left out; FreeType
# is kept so that the offscreen platform exists for tests. Debian's source
# lacks the tablet support library, hence tabletevent off.
qt_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DCMAKE_SHARED_LINKER_FLAGS=-static -DCMAKE_MODULE_LINKER_FLAGS=-static
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_zstd=OFF
  -DFEATURE_graphicsview=OFF -DFEATURE_pdf=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
  -DFEATURE_system_sqlite=OFF -DFEATURE_system_textmarkdownreader=OFF
)

version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
upstream="${version#*:}"
upstream="${upstream%%-*}"
recipe="$( (printf '%s\n' "${qt_options[@]}" && cat "$toolchain") | sha256sum | cut -c1-12)"
root="${KORVANE_CACHE:-/var/cache/korvane}/qt6-windows"
key="${version//[:~]/_}-$recipe"
prefix="$root/$key"
work="$root/work-$key"

if [ "${1:-}" = "--print-prefix" ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "qt-windows: cached"
  echo "$prefix"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
mkdir -p "$root" 2>/dev/null || {
  "${sudo_cmd[@]}" mkdir -p "$root"
  "${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$root"
}

# One build at a time: a second caller waits and then finds the cache.
exec 9>"$root/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
started=$SECONDS

# apt-get source needs a deb-src entry; derive it from the binary sources.
fetch_source() {
  local src_list=/etc/apt/sources.list.d/korvane-deb-src.sources
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee "$src_list" >/dev/null
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  mkdir -p "$work"
  (cd "$work" && apt-get source -qq "qt6-base=$version" >/dev/null)
}

src="$work/qt6-base-$upstream"
if [ ! -f "$src/CMakeLists.txt" ]; then
  echo "qt-windows: fetching the qt6-base $version source"
  fetch_source
fi

build="$work/build"
mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
  echo "qt-windows: configuring"
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" \
    -DCMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-}" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-}"
fi

echo "qt-windows: building with $jobs jobs"
cmake --build "$build" -j "$jobs"
rm -rf "$prefix"
cmake --install "$build" >/dev/null
# The licence texts travel with the DLLs into the package.
mkdir -p "$prefix/licenses"
cp "$src"/LICENSES/*.txt "$prefix/licenses/"
cp "$src/src/3rdparty/freetype/docs/FTL.TXT" "$prefix/licenses/FreeType-FTL.txt"
touch "$prefix/.complete"
rm -rf "$work"
echo "qt-windows: installed in $((SECONDS - started)) s"
echo "$prefix"
