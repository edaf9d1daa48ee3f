#!/usr/bin/env bash
# Windows test job: builds Qt for Windows once (cached, scripts/build-qt-windows.sh),
# then the Windows (mingw-w64) preset with the editor and its package, and runs
# the test programs, korvane-cli and the packaged editor under Wine, against
# korvane-sim devices on pseudo-terminals mapped to COM5 (echo), COM6 (stalled)
# and COM7 (device). The modem lines of those ports come from a state file
# through the modem shim (LD_PRELOAD), since a pseudo-terminal has none. The
# packaged editor runs on Xvfb; its screenshots go to the output folder.
#
# Variables (all optional):
#   KORVANE_WINDOWS_QT       a Qt for Windows install prefix to use instead of
#                            the cached build
#   KORVANE_CI_OUTPUT        output folder (default build/ci-output)
#   KORVANE_WIN32_TESTS_EXE  Windows test program
#                            (default build/mingw/tests/win32/korvane_win32_tests.exe)
#   KORVANE_WIN_CLI_EXE      Windows korvane-cli (default build/mingw/tools/cli/korvane-cli.exe)
#   KORVANE_PROFILE_TESTS_EXE  Windows program comparing our code set file reading with
#                            the system's (default build/mingw/tests/win32/korvane_profile_tests.exe)
#   WINE                     Wine loader (default wine)
#   KORVANE_JOBS             build jobs (default 2)
set -eEuo pipefail
cd "$(dirname "$0")/.."
root=$PWD

jobs="${KORVANE_JOBS:-2}"
wine="${WINE:-wine}"
tests_exe="${KORVANE_WIN32_TESTS_EXE:-build/mingw/tests/win32/korvane_win32_tests.exe}"
cli_exe="${KORVANE_WIN_CLI_EXE:-build/mingw/tools/cli/korvane-cli.exe}"
profile_exe="${KORVANE_PROFILE_TESTS_EXE:-build/mingw/tests/win32/korvane_profile_tests.exe}"
ui_tests_exe=build/mingw/tests/win32/ui/korvane_win32_ui_tests.exe
output="$root/${KORVANE_CI_OUTPUT:-build/ci-output}"
sim="$root/build/dev/tools/sim/korvane-sim"
linux_cli="$root/build/dev/tools/cli/korvane-cli"
shim="$root/build/dev/tests/win32/shim/libkorvane_modem_shim.so"

export WINEPREFIX="$root/build/mingw/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko install prompts; no display is needed or wanted. A program
# that crashes ends at once instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY

work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-wine.XXXXXX")"
# The simulators publish their ports in a folder of this run alone.
export XDG_RUNTIME_DIR="$work"
sim_pids=()
failures=()
started=$EPOCHREALTIME

# Seconds since the time stamp $1 (an EPOCHREALTIME).
seconds_since() {
  awk -v from="$1" -v to="$EPOCHREALTIME" 'BEGIN { printf "%.1f", to - from }'
}

xvfb_pid=""
editor_pid=""

cleanup() {
  if [ -n "$editor_pid" ]; then
    kill "$editor_pid" 2>/dev/null || true
  fi
  if [ -d "$work/fresh-prefix" ]; then
    WINEPREFIX="$work/fresh-prefix" wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
  fi
  for pid in "${sim_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${sim_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
trap 'echo "wine-test: FAIL (command failed: $BASH_COMMAND) after $(seconds_since "$started") s"' ERR

step_start=$started
begin() {
  echo "== $1"
  step_start=$EPOCHREALTIME
}
took() {
  echo "   $1: $(seconds_since "$step_start") s"
}
die() {
  echo "wine-test: FAIL ($1) after $(seconds_since "$started") s"
  exit 1
}
fail() {
  echo "FAILED: $1" >&2
  failures+=("$1")
}

# Qt for Windows from Debian's source, built once per recipe and then cached.
qt_for_windows() {
  begin "Qt for Windows"
  if [ -n "${KORVANE_WINDOWS_QT:-}" ]; then
    echo "   given: $KORVANE_WINDOWS_QT"
  else
    local log="$root/build/qt-windows.log"
    mkdir -p "$root/build"
    echo "   log: $log"
    if ! nice -n 19 scripts/build-qt-windows.sh >"$log" 2>&1; then
      tail -n 30 "$log"
      die "Qt for Windows did not build"
    fi
    KORVANE_WINDOWS_QT="$(tail -n 1 "$log")"
    echo "   $(grep -m1 '^qt-windows: \(cached\|installed\)' "$log") $KORVANE_WINDOWS_QT"
  fi
  export KORVANE_WINDOWS_QT
  took "Qt for Windows"
}

build() {
  begin "build: native simulator, CLI and modem shim (dev)"
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" --target korvane-sim korvane-cli korvane_modem_shim
  took "native build"
  begin "build: Windows programs (mingw)"
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs"
  took "mingw build"
  begin "package: Windows .zip"
  (cd build/mingw && cpack -G ZIP >/dev/null)
  package_zip="$(ls -t build/mingw/packages/korvane-*.zip 2>/dev/null | head -n 1 || true)"
  echo "   $package_zip ($(du -k "$package_zip" | cut -f1) KiB)"
  took "package"
  build_msi
}

project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/mingw/CMakeCache.txt"
}

# The MSI of this version, and the same files as an older version for the
# upgrade test; empty names when the editor was not built.
build_msi() {
  msi="" previous_msi=""
  [ -f build/mingw/ui/korvane-editor.exe ] || return 0
  begin "package: Windows installer (MSI)"
  cmake --build --preset mingw --target msi >/dev/null
  msi="$root/build/mingw/packages/korvane-$(project_version)-x64.msi"
  previous_msi="$work/korvane-0.0.1-x64.msi"
  packaging/windows/build-msi.sh build/mingw/msi-stage 0.0.1 build/mingw/icons/korvane.ico \
    "$previous_msi"
  echo "   $msi ($(du -k "$msi" | cut -f1) KiB)"
  took "MSI"
}

# The Windows program at $1 exists; a missing one is a failure.
have_program() {
  if [ -f "$1" ]; then
    return 0
  fi
  fail "$1 was not built"
  return 1
}

make_prefix() {
  begin "Wine prefix $WINEPREFIX"
  if [ -f "$WINEPREFIX/system.reg" ]; then
    echo "   exists"
  else
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  install_fonts "$WINEPREFIX"
  took "prefix"
}

# Tahoma for Latin text (the system font Windows programs expect) and a CJK
# font for the Chinese texts, in the Wine prefix at $1.
install_fonts() {
  local fonts="$1/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
    /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
}

# The published link of the simulator named $1.
port_path() {
  echo "$XDG_RUNTIME_DIR/korvane-sim/$1"
}

# Starts a simulator named $1 with the switches that follow.
start_sim() {
  local name=$1
  shift
  local out line
  exec {out}< <(exec "$sim" --name "$name" "$@" 2>>"$work/$name.log")
  sim_pids+=($!)
  if ! read -r -t 5 -u "$out" line; then
    cat "$work/$name.log" >&2
    die "korvane-sim $name did not start"
  fi
  exec {out}<&-
  echo "   $line"
}

# Maps the simulators to COM ports and restarts the Wine server so that Wine
# creates the ports, then checks that they are listed.
map_ports() {
  cat >"$work/ports.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM5"="$(port_path KWECHO)"
"COM6"="$(port_path KWSTALL)"
"COM7"="$(port_path KWDEVICE)"
EOF
  "$wine" regedit /S "$(winepath -w "$work/ports.reg")"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  local listed
  listed=$("$wine" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' | tr -d '\r')
  echo "$listed" | sed -n 's/^ \+/   SERIALCOMM: /p'
  for port in COM5 COM6 COM7; do
    echo "$listed" | grep -q "REG_SZ *$port\$" || die "$port is not in SERIALCOMM"
  done
}

start_devices() {
  begin "simulators on COM5 (echo), COM6 (stalled), COM7 (device)"
  start_sim KWECHO --echo --silent --no-pacing
  start_sim KWSTALL --stall --silent
  start_sim KWDEVICE --image "$work/device.bin"
  map_ports
  took "ports"
}

run_windows_tests() {
  begin "Windows tests: $tests_exe"
  have_program "$tests_exe" || return 0
  local state="$work/modem.state"
  if ! LD_PRELOAD="$shim" KORVANE_ECHO_PORT=COM5 KORVANE_STALL_PORT=COM6 \
    KORVANE_DEVICE_PORT=COM7 KORVANE_MODEM_STATE="$state" \
    KORVANE_MODEM_STATE_WIN="$(winepath -w "$state")" \
    timeout 180 "$wine" "$tests_exe"; then
    fail "Windows tests"
  fi
  took "Windows tests"
}

# Our reading of code set files against Wine's profile services, with the
# system code page 936 of the systems the files come from (Wine takes it from
# the locale). Without a zh_CN.UTF-8 locale on the system, one is made once
# under build/locale.
run_profile_tests() {
  begin "profile services against our reader: $profile_exe"
  have_program "$profile_exe" || return 0
  local locale_env=(LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8) locales="$root/build/locale"
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
    if [ ! -f "$locales/zh_CN.UTF-8/LC_CTYPE" ]; then
      mkdir -p "$locales"
      localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" || die "no zh_CN.UTF-8 locale for Wine"
    fi
    locale_env+=(LOCPATH="$locales")
  fi
  if ! env "${locale_env[@]}" timeout 120 "$wine" "$profile_exe"; then
    fail "profile services against our reader"
  fi
  # A code set file named in Chinese reaches the Windows CLI in code page 936.
  if [ -f "$cli_exe" ]; then
    local exe
    exe=$(realpath "$cli_exe")
    printf '[Button1]\r\nButtonDownSend1=0102FF\r\n' >"$work/配置.IOS"
    "$linux_cli" image "$work/配置.IOS" -o "$work/named-linux.bin"
    if (cd "$work" && env "${locale_env[@]}" timeout 60 "$wine" "$exe" image 配置.IOS -o named.bin); then
      same_bytes "$work/named-linux.bin" "$work/named.bin" "a code set file named in Chinese"
    else
      fail "Windows korvane-cli image on a code set file named in Chinese"
    fi
  fi
  took "profile services"
}

# The editor's tests: widgets on the offscreen platform, and the window with
# the Windows serial component programming and reading the device on COM7.
run_editor_tests() {
  begin "Windows editor tests: $ui_tests_exe"
  have_program "$ui_tests_exe" || return 0
  local state="$work/modem.state"
  if ! LD_PRELOAD="$shim" KORVANE_ECHO_PORT=COM5 KORVANE_STALL_PORT=COM6 \
    KORVANE_DEVICE_PORT=COM7 KORVANE_MODEM_STATE="$state" \
    KORVANE_MODEM_STATE_WIN="$(winepath -w "$state")" \
    KORVANE_DEVICE_IMAGE_WIN="$(winepath -w "$work/device.bin")" \
    QT_QPA_PLATFORM=offscreen \
    QTEST_FUNCTION_TIMEOUT=60000 timeout 300 "$wine" "$ui_tests_exe"; then
    fail "Windows editor tests"
  fi
  took "Windows editor tests"
}

# A code set of every kind of slot: codes of several lengths, blanks between
# pairs, an odd digit count, empty slots and a slot of 126 characters.
write_code_set() {
  local long
  long=$(printf 'E%.0s' {1..126})
  printf '%s\r\n' \
    '[Button1]' 'ButtonDownSend1=0102FF' 'ButtonDownSend2=' 'ButtonDownSend3=12 34 5' \
    'ButtonDownSend4=' 'ButtonUpSend1=' 'ButtonUpSend2=' 'ButtonUpSend3=' 'ButtonUpSend4=A0' \
    '[Button2]' 'ButtonDownSend1=A0B1C2D3' 'ButtonDownSend2=' 'ButtonDownSend3=' \
    'ButtonDownSend4=' 'ButtonUpSend1=' 'ButtonUpSend2=' 'ButtonUpSend3=' 'ButtonUpSend4=' \
    '[Button3]' 'ButtonDownSend1=' 'ButtonDownSend2=' 'ButtonDownSend3=' 'ButtonDownSend4=' \
    'ButtonUpSend1=' 'ButtonUpSend2=' 'ButtonUpSend3=' "ButtonUpSend4=$long" \
    '[Button4]' 'ButtonDownSend1=' 'ButtonDownSend2=' 'ButtonDownSend3=' 'ButtonDownSend4=7F' \
    'ButtonUpSend1=' 'ButtonUpSend2=' 'ButtonUpSend3=' 'ButtonUpSend4=' >"$1"
}

# Compares two files byte for byte; a difference is a failure named $3.
same_bytes() {
  if cmp "$1" "$2"; then
    echo "   same: $3"
  else
    fail "$3"
  fi
}

run_windows_cli() {
  begin "Windows korvane-cli against COM7"
  have_program "$cli_exe" || return 0
  scripts/check-windows-resources.sh "$(project_version)" "$cli_exe" || fail "resources of $cli_exe"
  local codes="$work/codes.IOS" images="$work/images"
  mkdir -p "$images"
  write_code_set "$codes"
  # The set holds a code with blanks and an odd digit on purpose: --lenient
  # converts it as the editor does, on both systems alike.
  "$linux_cli" image --lenient "$codes" -o "$work/expected.bin"
  if ! timeout 60 env LD_PRELOAD="$shim" "$wine" "$cli_exe" write --lenient --port COM7 \
    --image-dir "$(winepath -w "$images")" "$(winepath -w "$codes")"; then
    fail "Windows korvane-cli write"
    return 0
  fi
  same_bytes "$work/expected.bin" "$work/device.bin" "the device holds the Linux CLI's image"
  same_bytes "$work/expected.bin" "$images/Configuration.bin" "the Windows image file"
  if ! timeout 60 env LD_PRELOAD="$shim" "$wine" "$cli_exe" read --port COM7 -o "$(winepath -w "$work/read-win.IOS")"; then
    fail "Windows korvane-cli read"
    return 0
  fi
  if ! timeout 60 "$linux_cli" read --port "$(port_path KWDEVICE)" -o "$work/read-linux.IOS"; then
    fail "Linux korvane-cli read"
    return 0
  fi
  same_bytes "$work/read-linux.IOS" "$work/read-win.IOS" "Windows and Linux read-back files"
  "$linux_cli" image "$work/read-win.IOS" -o "$work/read-back.bin"
  same_bytes "$work/expected.bin" "$work/read-back.bin" "the read-back codes are those written"
  # The JSON list of ports names the registry's device for COM7.
  if timeout 60 env LD_PRELOAD="$shim" "$wine" "$cli_exe" ports --json >"$work/ports.json" &&
    grep -q '"format":1,"command":"ports"' "$work/ports.json" &&
    grep -q '"name":"COM7"' "$work/ports.json"; then
    echo "   same: the Windows port list in JSON names COM7"
  else
    fail "Windows korvane-cli ports --json: $(cat "$work/ports.json" 2>/dev/null)"
  fi
  took "Windows CLI"
}

# Starts Xvfb with its screen kept as an XWD file in $work, on a display no
# other server uses; sets display once the server is ready.
start_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    return 0
  fi
  local out wanted=90
  while [ -e "/tmp/.X11-unix/X$wanted" ] || [ -e "/tmp/.X$wanted-lock" ]; do
    wanted=$((wanted + 1))
  done
  exec {out}< <(exec Xvfb ":$wanted" -displayfd 1 -screen 0 800x600x24 -fbdir "$work" \
    -nolisten tcp 2>"$work/xvfb.log")
  xvfb_pid=$!
  if ! read -r -t 10 -u "$out" display; then
    cat "$work/xvfb.log" >&2
    die "Xvfb did not start"
  fi
  exec {out}<&-
}

# Saves the Xvfb screen as PNG file $1 in the output folder.
screenshot() {
  mkdir -p "$output"
  xwdtopnm "$work/Xvfb_screen0" 2>/dev/null | pnmtopng >"$output/$1"
  echo "   screenshot: $output/$1"
}

# Prints the first visible window whose name matches $1, waiting up to $2
# seconds; windows that Wine makes and drops meanwhile do not end the wait.
wait_for_window() {
  local deadline=$((SECONDS + $2)) found
  while ((SECONDS < deadline)); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "$found" ]; then
      echo "$found"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# Clicks the point x=$2, y=$3 of the client area of window $1.
click_in_client() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
  local border=$(((WIDTH - client_width) / 2))
  local caption=$((HEIGHT - client_height - border))
  xdotool mousemove --window "$1" $((border + $2)) $((caption + $3)) click 1
}

# A fresh Wine prefix at $WINEPREFIX whose COM1 is the device.
make_fresh_prefix_with_device() {
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  wineserver -w
  install_fonts "$WINEPREFIX"
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$(port_path KWDEVICE)" /f >/dev/null
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

# Starts the editor $1 on Xvfb in $WINEPREFIX; it opens COM1 at start and
# programs the device on "写入". The image file it writes must be $2 and hold
# what the device holds. Screenshot $3. The editor and its prefix's processes
# are ended afterwards.
program_through_editor() {
  local exe=$1 image=$2 picture=$3 window
  start_xvfb
  # Every Wine process of this prefix from now on, winepath included, must see
  # the display: the first one starts the prefix's desktop on it.
  local -x DISPLAY=":$display"
  local exe_win
  exe_win="$(winepath -w "$exe")"
  LD_PRELOAD="$shim" "$wine" "$exe_win" >"$work/editor.log" 2>&1 &
  editor_pid=$!
  if ! window=$(wait_for_window '^KORVANE' 60); then
    screenshot "${picture%.png}-failed.png"
    grep -v ':fixme:' "$work/editor.log" | tail -n 20 >&2 || true
    fail "$exe: the editor's window did not appear"
    end_editor
    return 0
  fi
  took "editor window"
  click_in_client "$window" 232 324 # "写入"
  if ! wait_for_window '^成功$' 30 >/dev/null; then
    screenshot "${picture%.png}-failed.png"
    fail "$exe: the editor did not report \"配置成功!\""
    end_editor
    return 0
  fi
  sleep 1 # painting has no event to wait for; the picture is only for people
  screenshot "$picture"
  same_bytes "$image" "$work/device.bin" "the device holds the image of $exe"
  end_editor
}

end_editor() {
  if [ -n "$editor_pid" ]; then
    kill "$editor_pid" 2>/dev/null || true
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=""
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

# The package as a user meets it: the .zip unpacked into a new folder and a
# fresh Wine prefix whose COM1 is the device, on Xvfb. The editor keeps its
# image file beside itself.
run_packaged_editor() {
  begin "packaged editor: fresh prefix, COM1 = device, on Xvfb"
  have_program "${package_zip:-none}" || return 0
  local -x WINEPREFIX="$work/fresh-prefix"
  local pkg="$work/package"
  mkdir -p "$pkg"
  unzip -q "$package_zip" -d "$pkg"
  local exe
  exe="$(find "$pkg" -name korvane-editor.exe)"
  have_program "$exe" || return 0
  make_fresh_prefix_with_device
  took "fresh prefix"
  program_through_editor "$exe" "$(dirname "$exe")/Configuration.bin" editor-wine.png
  took "programmed through the packaged editor"
}

# The Windows path of the folder the environment variable $1 names in
# $WINEPREFIX, as a Unix path.
prefix_folder() {
  winepath -u "$("$wine" cmd /c echo "%$1%" | tr -d '\r')"
}

# Runs the Windows program $@ in $WINEPREFIX and sets seconds to the time it
# took, up to its last process; a failure is one of the run.
timed_wine() {
  local from=$EPOCHREALTIME status=0
  "$wine" "$@" || status=$?
  wineserver -w
  seconds=$(seconds_since "$from")
  if [ "$status" -ne 0 ]; then
    fail "$* exited with $status"
    return 1
  fi
}

# The uninstall entries named "KORVANE Code Editor", one line each: key and
# version. Wine 8 writes a per-user package's entry under HKLM (Windows
# writes it under HKCU): both are read.
uninstall_entries() {
  local hive
  for hive in HKLM HKCU; do
    "$wine" reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null |
      tr -d '\r' | awk '
        /^HKEY/ { key = $0; name = ""; next }
        $1 == "DisplayName" { sub(/^ *DisplayName +REG_SZ +/, ""); name = $0 }
        $1 == "DisplayVersion" { version = $3 }
        /^$/ { if (name == "KORVANE Code Editor") print key, version; name = "" }
        END { if (name == "KORVANE Code Editor") print key, version }' || true
  done
}

# The value $2 (empty: the default value) of registry key $1, or nothing.
registry_value() {
  local switch=(/ve)
  [ -z "${2:-}" ] || switch=(/v "$2")
  "$wine" reg query "$1" "${switch[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *[^ ]* *REG_[A-Z_]* *//p' | head -n 1 || true
}

# The installer as a user meets it, in a fresh prefix whose COM1 is the
# device (the .zip's: nothing is installed in it): an older version
# installed, this one over it (one copy left), the installed editor programs
# the device and keeps its image file in %LOCALAPPDATA%\korvane\, then an
# uninstall removes every file, folder, shortcut and registry entry it made.
run_msi() {
  begin "MSI: install, upgrade, program, uninstall in a fresh prefix"
  have_program "${msi:-the MSI}" || return 0
  # The .zip's prefix, in which nothing was installed, when there is one.
  local -x WINEPREFIX="$work/fresh-prefix"
  # No menu entries of the prefix's shortcuts in this user's desktop.
  local -x WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
  [ -f "$WINEPREFIX/system.reg" ] || make_fresh_prefix_with_device
  local programs state menu install
  programs="$(prefix_folder LOCALAPPDATA)/Programs"
  install="$programs/KORVANE"
  state="$(prefix_folder LOCALAPPDATA)/korvane"
  menu="$(prefix_folder APPDATA)/Microsoft/Windows/Start Menu/Programs"
  took "fresh prefix"

  local seconds
  timed_wine msiexec /i "$(winepath -w "$previous_msi")" /qn || return 0
  echo "   install 0.0.1: $seconds s"
  timed_wine msiexec /i "$(winepath -w "$msi")" /qn || return 0
  echo "   install $(project_version) over it: $seconds s"
  local entries version
  entries="$(uninstall_entries)"
  version=$(project_version)
  echo "$entries" | sed 's/^/   uninstall entry: /'
  [ "$(echo "$entries" | grep -c .)" = 1 ] && [ "${entries##* }" = "$version" ] ||
    fail "not one uninstall entry of version $version after the upgrade"
  (cd build/mingw/msi-stage && find . -type f | sort) >"$work/msi-files"
  if (cd "$install" && find . -type f | sort | cmp -s - "$work/msi-files"); then
    echo "   installed: the $(wc -l <"$work/msi-files") files of the stage, no more"
  else
    fail "the installed files are not those of the stage"
  fi
  [ -f "$menu/KORVANE Code Editor.lnk" ] && echo "   shortcut: $menu/KORVANE Code Editor.lnk" ||
    fail "no Start-menu shortcut"
  local classes='HKCU\Software\Classes' exe_win
  exe_win="$(winepath -w "$install/bin/korvane-editor.exe")"
  [ "$(registry_value "$classes\\.IOS")" = KORVANE.CodeSet ] &&
    [ "$(registry_value "$classes\\KORVANE.CodeSet\\shell\\open\\command")" = "\"$exe_win\" \"%1\"" ] &&
    [ "$(registry_value "$classes\\KORVANE.CodeSet\\DefaultIcon")" = "\"$exe_win\",0" ] &&
    echo "   $classes\\.IOS -> KORVANE.CodeSet: open command and icon of $exe_win" ||
    fail ".IOS is not registered with the installed editor"
  echo "   resources of the installed programs:"
  scripts/check-windows-resources.sh "$version" "$install/bin/korvane-editor.exe" \
    "$install/bin/korvane-cli.exe" || fail "resources of the installed programs"
  took "installed"

  # The installer's session has no display; the editor's starts on Xvfb.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  program_through_editor "$install/bin/korvane-editor.exe" "$state/Configuration.bin" editor-msi.png
  [ ! -e "$install/bin/Configuration.bin" ] || fail "the installed editor wrote beside itself"
  took "programmed through the installed editor"

  timed_wine msiexec /x "$(winepath -w "$msi")" /qn || return 0
  echo "   uninstall: $seconds s"
  [ ! -e "$install" ] || fail "left after uninstall: $(cd "$install" && find . | head -n 5)"
  [ ! -e "$programs" ] || [ -n "$(ls -A "$programs")" ] || fail "an empty $programs is left"
  [ ! -e "$menu/KORVANE Code Editor.lnk" ] || fail "the shortcut is left"
  [ -z "$(uninstall_entries)" ] || fail "the uninstall entry is left"
  [ -z "$(registry_value "$classes\\.IOS")" ] || fail "the .IOS registration is left"
  echo "   nothing left; the user's image file stays in $state"
  took "uninstalled"
}

client_width=288
client_height=408
qt_for_windows
build
make_prefix
run_profile_tests
start_devices
run_windows_tests
run_editor_tests
run_windows_cli
run_packaged_editor
run_msi

total=$(seconds_since "$started")
if [ ${#failures[@]} -gt 0 ]; then
  echo "wine-test: FAIL ($(IFS=';' && echo "${failures[*]}")) after $total s"
  exit 1
fi
echo "wine-test: PASS after $total s"
