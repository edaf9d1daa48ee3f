#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the editor need,
# including the Windows cross compiler and Wine that run the Windows tests,
# dpkg-dev for the Qt source that the Windows editor is built with, and what
# the packaged editor's check on Xvfb uses (fonts, xdotool, netpbm).
# Idempotent: packages already present are left alone and apt is not touched.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache clang-format
  libgtest-dev libgmock-dev googletest
  qt6-base-dev libgl1-mesa-dev
  qt6-serialport-dev
  libqt6svg6 qt6-translations-l10n qt6-l10n-tools
  fonts-wqy-microhei
  xvfb xauth openbox
  g++-mingw-w64-x86-64-posix wine wine64
  locales
  nlohmann-json3-dev
  help2man librsvg2-bin dpkg-dev fakeroot file lintian desktop-file-utils
  bash-completion
  fonts-wine netpbm xdotool unzip
  qemu-system-x86 busybox-static cpio
  clang-14 libclang-rt-14-dev
  wixl msitools icoutils
  python3-jsonschema xdg-utils libfile-mimeinfo-perl shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
