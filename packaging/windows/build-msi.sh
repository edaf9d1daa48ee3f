#!/usr/bin/env bash
# Builds the per-user MSI of an install tree staged by `cmake --install`:
# build-msi.sh STAGE VERSION ICON OUTPUT.msi
# The product code follows from VERSION (a new one per version), the upgrade
# code is fixed in korvane.wxs.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 STAGE VERSION ICON OUTPUT.msi" >&2
  exit 2
fi
stage="$(realpath "$1")" version=$2 icon="$(realpath "$3")" output="$(realpath -m "$4")"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# wixl takes every source relative to the folder it runs in.
ln -s "$stage" "$work/stage"
ln -s "$icon" "$work/korvane.ico"
cp "$here/korvane.wxs" "$work/"
python3 "$here/msi-files.py" stage "$work/files.wxs"
product_code="$(python3 "$here/msi-files.py" --product-code "$version")"
mkdir -p "$(dirname "$output")"
(cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" \
  -o "$output" korvane.wxs files.wxs)
