#!/usr/bin/env bash
# Reads back what Explorer and the system read from Windows programs: the
# icon, the version resource and the manifest (per-monitor DPI awareness v2,
# common controls v6). Lists the resources of each program and fails when one
# is missing or wrong.
# check-windows-resources.sh VERSION PROGRAM.exe...
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 VERSION PROGRAM.exe..." >&2
  exit 2
fi
version=$1
shift
failed=0
bad() {
  echo "   FAILED: $1" >&2
  failed=1
}
# The value of string $2 of the version resource of $1 (UTF-16 strings: each
# key is followed by its value).
version_field() {
  wrestool -x --raw --type=16 "$1" 2>/dev/null | strings -el -n 1 |
    awk -v key="$2" 'found == 1 { print; found = 2 } $0 == key && !found { found = 1 }'
}
for exe in "$@"; do
  name=$(basename "$exe")
  echo "   $name:"
  wrestool -l "$exe" | sed 's/^/     /'
  # The icon group's header: reserved, type, number of images.
  icons=$(wrestool -x --type=14 "$exe" 2>/dev/null | od -An -tu2 | awk 'NR == 1 { print $3 }')
  [ "${icons:-0}" -ge 4 ] || bad "$name: no icon group of several sizes (${icons:-none})"
  for field in "ProductName=KORVANE" "ProductVersion=$version" "FileVersion=$version" \
    "OriginalFilename=$name" "CompanyName=KORVANE developers"; do
    value=$(version_field "$exe" "${field%%=*}")
    [ "$value" = "${field#*=}" ] || bad "$name: ${field%%=*} is '$value', not '${field#*=}'"
  done
  description=$(version_field "$exe" FileDescription)
  [[ "$description" == KORVANE\ * ]] || bad "$name: FileDescription is '$description'"
  echo "     version resource: $(version_field "$exe" ProductName) $(version_field "$exe" ProductVersion)," \
    "\"$description\", $(version_field "$exe" OriginalFilename)"
  manifest=$(wrestool -x --raw --type=24 "$exe" 2>/dev/null | tr -s '[:space:]' ' ')
  lacking=0
  for part in '<dpiAwareness[^>]*>PerMonitorV2<' '<dpiAware[^>]*>true/pm<' \
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
    'requestedExecutionLevel level="asInvoker"'; do
    [[ "$manifest" =~ $part ]] || { bad "$name: manifest lacks '$part'"; lacking=1; }
  done
  ((lacking)) || echo "     manifest: PerMonitorV2 (and true/pm), common controls 6.0.0.0, asInvoker"
done
exit $failed
