#!/usr/bin/env bash
# Runs korvane-cli on the kernel's own serial drivers: a QEMU guest (TCG, with
# the kernel and modules of Debian's linux-image-amd64) gets an emulated FTDI
# adapter (ftdi_sio, /dev/ttyUSB0) and an emulated 16550 (8250, /dev/ttyS1),
# each wired to a korvane-sim on this host, plus two identical FTDI adapters
# without serial numbers. The guest's init (scripts/real-driver/guest-init.sh)
# runs the checks and asks this script, through its console, to unplug and
# plug adapters (QEMU's monitor) and to compare the simulators' images and
# line speeds. Fails on any failed or missing check.
#
# Usage: scripts/real-driver-test.sh [BUILD_DIR]   (default build/dev, which
# must hold korvane-cli and korvane-sim). The kernel package is downloaded
# once into $KORVANE_QEMU_CACHE (default /var/cache/korvane/qemu); the guest's
# files go to BUILD_DIR/real-driver/.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(realpath "${1:-build/dev}")
cache=${KORVANE_QEMU_CACHE:-/var/cache/korvane/qemu}
work=$build/real-driver
cli=$build/tools/cli/korvane-cli
sim=$build/tools/sim/korvane-sim
guest_timeout=${KORVANE_GUEST_TIMEOUT:-300}

for tool in "$cli" "$sim"; do
  [ -x "$tool" ] || { echo "real-driver: $tool is missing; build it first" >&2; exit 2; }
done
for command in qemu-system-x86_64 busybox cpio apt-get dpkg-deb; do
  command -v "$command" >/dev/null || { echo "real-driver: $command is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done

# The guest kernel: Debian's current linux-image-amd64, unpacked, never installed.
kernel_tree() {
  local package
  local depends='s/^ *Depends: \(linux-image-[0-9].*\)$/\1/p'
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n "$depends" | head -n 1)
  if [ -z "$package" ]; then  # a machine without package lists yet
    apt-get update -qq >/dev/null
    package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n "$depends" | head -n 1)
  fi
  [ -n "$package" ] || { echo "real-driver: apt knows no linux-image-amd64" >&2; return 1; }
  local tree=$cache/${package#linux-image-}
  if [ ! -e "$tree/.complete" ]; then
    mkdir -p "$cache"
    rm -rf "$tree" "$tree.unpacked" "$cache"/"$package"_*.deb
    (cd "$cache" && apt-get download -q "$package" >/dev/null 2>&1) ||
      { echo "real-driver: apt-get download $package failed" >&2; return 1; }
    dpkg-deb -x "$cache"/"$package"_*.deb "$tree.unpacked"
    rm -f "$cache"/"$package"_*.deb
    # Only the kernel and the USB drivers are kept (a few MB of the package's 400).
    mkdir -p "$tree"
    mv "$tree.unpacked/boot" "$tree/boot"
    (cd "$tree.unpacked" && find lib/modules -path '*/kernel/drivers/usb/*' -name '*.ko*' |
      cpio -pdm --quiet "$tree")
    rm -rf "$tree.unpacked"
    touch "$tree/.complete"
  fi
  echo "$tree"
}

# Copies a program, without its debugging information (a smaller initramfs
# unpacks faster), with the shared libraries it loads into the guest's tree.
copy_with_libraries() {
  local program=$1 root=$2 target=$3
  mkdir -p "$(dirname "$root$target")"
  strip --strip-debug -o "$root$target" "$program"
  ldd "$program" | grep -o '/[^ ]*' | while read -r library; do
    install -D -m 755 "$library" "$root$library"
  done
}

# The test init, busybox, korvane-cli with its libraries and the iconv
# modules for GBK, the USB modules and the test data, as one initramfs.
build_initramfs() {
  local tree=$1 root=$work/root
  rm -rf "$root"
  mkdir -p "$root"/{bin,proc,sys,dev,tmp,modules,data}
  install -m 755 "$(command -v busybox)" "$root/bin/busybox"
  install -m 755 scripts/real-driver/guest-init.sh "$root/init"
  copy_with_libraries "$cli" "$root" /usr/bin/korvane-cli
  local gconv=/usr/lib/x86_64-linux-gnu/gconv
  mkdir -p "$root$gconv"
  cp -a "$gconv"/gconv-modules "$gconv"/gconv-modules.d "$gconv"/GBK.so "$root$gconv"/
  local modules
  modules=$(find "$tree/lib/modules" -mindepth 1 -maxdepth 1 -type d)
  for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
    find "$modules/kernel/drivers/usb" -name "$module.ko*" -exec cp {} "$root/modules/" \;
  done
  cp "$work"/data/* "$root/data/"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"
}

# Three code sets that differ from each other, and the image of each.
make_test_data() {
  mkdir -p "$work/data"
  local name value
  for name in a b c; do
    case $name in a) value=A1A2A3 ;; b) value=B1B2B3B4 ;; c) value=C1C2 ;; esac
    sed "s/^ButtonDownSend3=\r\?$/ButtonDownSend3=$value/" examples/codes.IOS >"$work/data/$name.IOS"
    "$cli" image -q "$work/data/$name.IOS" -o "$work/data/$name.bin" >/dev/null
  done
}

sim_pids=()
qemu_pid=
cleanup() {
  local pid
  for pid in "${sim_pids[@]}" $qemu_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# start_sim INDEX: a simulator keeping its image in sim INDEX.bin; its pty goes to pty[INDEX].
declare -A pty
start_sim() {
  local index=$1 out=$work/sim$1.out
  XDG_RUNTIME_DIR=$work/xdg "$sim" -v --name "QEMU$index" --image "$work/sim$index.bin" \
    >"$out" 2>"$work/sim$index.err" &
  sim_pids+=($!)
  local tries=0
  until [ -s "$out" ]; do
    ((++tries < 100)) || { echo "real-driver: korvane-sim $index did not start" >&2; return 1; }
    sleep 0.05
  done
  pty[$index]=$(awk '{ print $2; exit }' "$out")
}

# Host-side results, in the guest's format.
host_check() { echo "@@CHECK host-$1 $2 ${*:3}"; }

compare_image() {
  local index=$1 expected=$work/data/$2.bin tries=0
  until cmp -s "$work/sim$index.bin" "$expected"; do
    if ((++tries > 30)); then
      host_check "image-sim$index-$2" FAIL "$(cmp "$work/sim$index.bin" "$expected" 2>&1 | head -n 1)"
      return
    fi
    sleep 0.1
  done
  host_check "image-sim$index-$2" ok "byte-identical to korvane-cli image"
}

# The speed of a simulator's line before the guest's operation.
declare -A first_speed
mark_speed() {
  first_speed[$1]=$(stty -F "${pty[$1]}" speed 2>&1 || true)
}

# The guest's line speed reaches the simulator's end of the line.
check_speed() {
  local index=$1 want=$2 speed
  speed=$(stty -F "${pty[$index]}" speed 2>&1 || true)
  if [ "$speed" = "$want" ] && [ "${first_speed[$index]}" != "$want" ]; then
    host_check "baud-sim$index" ok "$speed baud on the host side (${first_speed[$index]} before)"
  else
    host_check "baud-sim$index" FAIL "host side at '$speed' (${first_speed[$index]} before), want $want"
  fi
}

# The adapters that the guest may unplug and plug again, by QEMU id.
declare -A usb_device=(
  [usb0]="usb-serial,id=usb0,bus=xhci.0,port=1,serial=KORV0001,chardev=c0"
)

handle_request() {
  local verb=$1
  shift
  case $verb in
    unplug) echo "device_del $1" >&7 ;;
    plug) echo "device_add ${usb_device[$1]}" >&7 ;;
    image) compare_image "$@" ;;
    mark-speed) mark_speed "$@" ;;
    speed) check_speed "$@" ;;
    *) host_check request FAIL "unknown request $verb" ;;
  esac
}

run_guest() {
  local tree=$1 kernel
  kernel=$(find "$tree/boot" -name 'vmlinuz-*' | head -n 1)
  rm -f "$work/monitor.in" "$work/monitor.out"
  mkfifo "$work/monitor.in" "$work/monitor.out"
  exec 7<>"$work/monitor.in"
  cat <"$work/monitor.out" >"$work/monitor.log" &
  local start=$SECONDS
  # The console is the guest's first UART; its lines come back here.
  while IFS= read -r line; do
    line=${line%$'\r'}
    echo "$line" >>"$work/console.log"
    case $line in
      @@HOST\ *) handle_request ${line#@@HOST } ;;
      @@BOOTED\ *) echo "@@FIGURE boot-seconds ${line#@@BOOTED } (guest uptime at init), $((SECONDS - start)) s on the host" ;;
      @@*) echo "$line" ;;
    esac
  done < <(timeout "$guest_timeout" qemu-system-x86_64 \
    -machine pc -accel tcg -cpu max -smp 1 -m 512 -nodefaults -no-user-config -display none \
    -no-reboot -kernel "$kernel" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init" \
    -chardev stdio,id=console,signal=off -serial chardev:console \
    -chardev pipe,id=monitor,path="$work/monitor" -mon chardev=monitor,mode=readline \
    -chardev serial,id=c0,path="${pty[0]}" -chardev serial,id=c1,path="${pty[1]}" \
    -chardev serial,id=c2,path="${pty[2]}" -chardev serial,id=c3,path="${pty[3]}" \
    -device qemu-xhci,id=xhci \
    -device "${usb_device[usb0]}" \
    -device usb-hub,id=hub,bus=xhci.0,port=2 \
    -device usb-serial,id=usb2,bus=xhci.0,port=2.1,serial=,chardev=c2 \
    -device usb-serial,id=usb3,bus=xhci.0,port=2.3,serial=,chardev=c3 \
    -device isa-serial,chardev=c1 </dev/null 2>"$work/qemu.err")
  exec 7>&-
}

main() {
  rm -rf "$work"
  mkdir -p "$work/xdg"
  chmod 700 "$work/xdg"
  local tree
  tree=$(kernel_tree)
  make_test_data
  build_initramfs "$tree"
  # QEMU attaches a USB adapter only once its line is open: each has a simulator.
  for index in 0 1 2 3; do start_sim "$index"; done
  echo "real-driver: kernel $(basename "$tree"), simulators on ${pty[*]}"
  run_guest "$tree" | tee "$work/results.log"
  local failed checks
  checks=$(grep -c '^@@CHECK ' "$work/results.log" || true)
  failed=$(grep -c '^@@CHECK [^ ]* FAIL' "$work/results.log" || true)
  if ! grep -q '^@@DONE' "$work/results.log"; then
    echo "real-driver: the guest did not finish; the console's end:" >&2
    tail -n 30 "$work/console.log" >&2
    tail -n 5 "$work/qemu.err" >&2
    exit 1
  fi
  echo "real-driver: $checks checks, $failed failed, $(grep -c '^@@FIGURE retry' "$work/results.log" || true) retried; $SECONDS s"
  ((failed == 0 && checks > 0))
}

main
