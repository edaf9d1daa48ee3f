#!/usr/bin/env bash
# Checks the packages that scripts/package.sh built:
#  1. the install rules put every file in place (a scratch root via DESTDIR),
#  2. the desktop entry validates and lintian finds no error in the .deb,
#  3. with the installed tree read-only, the installed korvane-cli programs the
#     installed korvane-sim as an ordinary user, verifies it, and leaves nothing
#     beside the programs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
packages=$build/packages
deb=$(ls "$packages"/korvane_*.deb)
tarball=$(ls "$packages"/korvane-*.tar.gz)
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

echo "-- install into a scratch root"
root=$scratch/root
DESTDIR=$root cmake --install $build --prefix /usr --strip >/dev/null
expected=(
  usr/bin/korvane-editor usr/bin/korvane-cli usr/bin/korvane-sim
  usr/share/man/man1/korvane-editor.1.gz usr/share/man/man1/korvane-cli.1.gz
  usr/share/man/man1/korvane-sim.1.gz
  usr/share/applications/korvane-editor.desktop usr/share/mime/packages/korvane.xml
  usr/share/icons/hicolor/scalable/apps/korvane.svg
  usr/share/bash-completion/completions/korvane-cli
  usr/share/korvane/examples/codes.IOS
  usr/share/doc/korvane/README.md usr/share/doc/korvane/copyright
  usr/share/doc/korvane/changelog.gz
  usr/share/doc/korvane/exit-codes.md usr/share/doc/korvane/json/write-result.schema.json
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=(usr/share/icons/hicolor/${size}x${size}/apps/korvane.png)
done
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "missing $file"
done
# The .deb and the .tar.gz carry the same files as the install rules.
(cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$scratch/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$scratch/deb"
tar -tzf "$tarball" | grep -v '/$' | sed 's|^[^/]*/|usr/|' | sort >"$scratch/tgz"
diff -u "$scratch/installed" "$scratch/deb" || fail "the .deb differs from the install rules"
diff -u "$scratch/installed" "$scratch/tgz" || fail "the .tar.gz differs from the install rules"
echo "${#expected[@]} expected files present; .deb and .tar.gz hold the same $(wc -l <"$scratch/installed") files"

echo "-- desktop entry and lintian"
desktop-file-validate "$root/usr/share/applications/korvane-editor.desktop"
# lintian runs as an ordinary user when it can; warnings are listed, errors fail.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
# Qt's Chinese standard button texts come from the translations package.
dpkg-deb -f "$deb" Recommends | grep -qw 'qt6-translations-l10n' ||
  fail "the .deb does not recommend qt6-translations-l10n (the message boxes would say OK/Cancel)"

echo "-- .IOS files open in the installed editor"
# What the system's triggers do when the .deb is installed (shared-mime-info,
# desktop-file-utils), here for the scratch root alone, in a copy of it.
desktop=$scratch/desktop
cp -a "$root" "$desktop"
XDG_DATA_DIRS="$desktop/usr/share" update-mime-database "$desktop/usr/share/mime"
update-desktop-database "$desktop/usr/share/applications"
xdg_mime() {
  env -i HOME="$scratch/xdg-home" PATH=/usr/bin:/bin XDG_DATA_DIRS="$desktop/usr/share" \
    XDG_CONFIG_DIRS="$scratch/xdg-config" xdg-mime "$@"
}
for name in codes.IOS lower.ios; do
  cp "$root/usr/share/korvane/examples/codes.IOS" "$scratch/$name"
  type=$(xdg_mime query filetype "$scratch/$name")
  [ "$type" = application/x-korvane-codeset ] || fail "$name is of type '$type'"
done
default=$(xdg_mime query default application/x-korvane-codeset)
[ "$default" = korvane-editor.desktop ] || fail "code set files open with '$default'"
echo "codes.IOS and lower.ios: application/x-korvane-codeset, opened by $default"

echo "-- bash completion of the installed programs"
completes() {
  PATH="$root/usr/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    "_${1//-/_}" "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/$1" "$@"
}
[[ " $(completes korvane-cli write --) " == *" --port "* ]] || fail "korvane-cli write -- completes no --port"
[[ " $(completes korvane-sim --ima) " == *" --image "* ]] || fail "korvane-sim --ima completes no --image"
[[ " $(completes korvane-editor --v) " == *" --version "* ]] || fail "korvane-editor --v completes no --version"

echo "-- installed programs, read-only install folder, ordinary user"
chmod -R a-w "$root"
chmod 755 "$scratch"
home=$scratch/home
mkdir -p "$home/images"
# env (and setpriv) exec the program, so a background job's $! is the program itself.
user=(env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" LANG=C.UTF-8)
if [ "$(id -u)" -eq 0 ]; then
  # Root writes into read-only folders; an ordinary user does not.
  chown -R nobody:nogroup "$home"
  user=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${user[@]}")
fi
as_user() { "${user[@]}" "$@"; }
as_user korvane-cli --help >/dev/null
as_user korvane-sim --version
as_user korvane-editor --version
mkfifo "$home/sim.out"
"${user[@]}" korvane-sim --name "KPKG$$" >"$home/sim.out" &
sim_pid=$!
exec 3<"$home/sim.out"
read -r -t 10 -u 3 port _ || fail "korvane-sim did not publish its port"
before=$(ls -A "$root/usr/bin")
# No --image-dir: each run keeps its image in a private temporary folder.
as_user korvane-cli write --port "$port" \
  "$root/usr/share/korvane/examples/codes.IOS" || fail "installed korvane-cli write failed"
[ "$(ls -A "$root/usr/bin")" = "$before" ] || fail "files were left beside the programs"
kill "$sim_pid"
wait "$sim_pid" || true
sim_pid=""
echo "package check: all passed"
