#!/bin/busybox sh
# The real-driver guest's init: loads the USB serial drivers, runs korvane-cli
# against the adapters that the host wired to simulators, and prints one line
# per check ("@@CHECK NAME ok|FAIL DETAIL") and figures ("@@FIGURE NAME VALUE")
# on the console. "@@HOST VERB ARGS" lines ask the host to act: unplug or plug
# a USB adapter, compare a simulator's image with a code set's image, check a
# simulator's line speed. Ends with "@@DONE" and powers off.
#
# The adapters: ttyUSB0 at USB 1-1 (serial number KORV0001, simulator 0, QEMU
# id usb0), ttyS1 (16550, simulator 1), and two identical adapters without
# serial numbers behind a hub at 1-2.1 (simulator 2) and 1-2.3 (simulator 3).
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo "@@BOOTED $(cut -d' ' -f1 /proc/uptime)"

for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
  insmod /modules/$module.ko || echo "@@CHECK insmod-$module FAIL"
done

export HOME=/tmp LANG=C.UTF-8
mkdir -p /tmp/work
cd /tmp/work
cli=korvane-cli

check() { # NAME ok|FAIL DETAIL...
  echo "@@CHECK $*"
}

# expect NAME CONDITION-RESULT DETAIL: ok when the last command succeeded.
expect() {
  if [ "$2" = 0 ]; then check "$1" ok "$3"; else check "$1" FAIL "$3"; fi
}

uptime_cs() { # the guest's uptime in hundredths of a second
  sed 's/^\([0-9]*\)\.\([0-9]*\) .*/\1\2/' /proc/uptime
}

# wait_for PATH present|absent SECONDS: true when PATH reached the state in time.
wait_for() {
  local path=$1 state=$2 end=$(($(uptime_cs) + $3 * 100))
  while [ "$(uptime_cs)" -lt "$end" ]; do
    if [ "$state" = present ] && [ -e "$path" ]; then return 0; fi
    if [ "$state" = absent ] && [ ! -e "$path" ]; then return 0; fi
    usleep 10000
  done
  return 1
}

# wait_for_text FILE PATTERN SECONDS: true when FILE holds PATTERN in time.
wait_for_text() {
  local end=$(($(uptime_cs) + $3 * 100))
  while [ "$(uptime_cs)" -lt "$end" ]; do
    grep -q "$2" "$1" 2>/dev/null && return 0
    usleep 10000
  done
  return 1
}

seconds() { # hundredths as seconds
  printf '%d.%02d' $(($1 / 100)) $(($1 % 100))
}

# run NAME COMMAND...: runs korvane-cli, its output in NAME.out; prints the exit code.
run() {
  local name=$1
  shift
  "$cli" "$@" >"$name.out" 2>&1
  echo $?
}

# run_again NAME COMMAND...: like run, but a transfer spoilt on the line (block
# not acknowledged, reply cut short, read-back differing: what a stall of the
# emulation longer than the device's 300 ms block gap does on a loaded host)
# is tried once more. The retry is reported as a figure; a second failure stands.
run_again() {
  local name=$1 rc
  shift
  rc=$(run "$name" "$@")
  case $rc in
    13 | 15 | 16)
      echo "@@FIGURE retry $name after exit $rc: $(grep -o 'message":"[^"]*' "$name.out" | head -n 1)" >&2
      rc=$(run "$name" "$@")
      ;;
  esac
  echo "$rc"
}

# Writes a code set and reads it back (korvane-cli compares); the host then
# compares the simulator's image with the set's image.
write_check() { # NAME PORT SET SIM
  local rc
  rc=$(run_again "$1" write --json -p "$2" "/data/$3.IOS")
  expect "$1" "$rc" "write $3.IOS on $2: exit $rc $(grep -o 'message":"[^"]*' "$1.out" | head -n 1)"
  [ "$rc" = 0 ] && echo "@@HOST image $4 $3"
}

# Reads the device back; its codes must build the very image of the set.
read_check() { # NAME PORT SET
  local rc
  rc=$(run_again "$1" read -q -p "$2" -o "$1.IOS")
  if [ "$rc" = 0 ] && $cli image -q "$1.IOS" -o "$1.bin" >/dev/null && cmp -s "$1.bin" "/data/$3.bin"; then
    check "$1" ok "read on $2: the image of the codes read equals $3's"
  else
    check "$1" FAIL "read on $2: exit $rc $(tail -n 1 "$1.out")"
  fi
}

ports_checks() {
  $cli ports >ports.txt 2>&1
  sed 's/^/@@PORTS /' ports.txt
  grep -q '^ttyUSB0 /dev/ttyUSB0 driver=ftdi_sio usb=0403:6001 serial=KORV0001 .* path=1-1$' ports.txt
  expect ports-ftdi $? "ttyUSB0: ftdi_sio, 0403:6001, serial number, path=1-1"
  grep -q '^ttyS1 /dev/ttyS1 driver=' ports.txt
  expect ports-16550 $? "ttyS1 listed"
  ! grep -q '^ttyS[23] ' ports.txt
  expect ports-no-uart-left-out $? "ttyS2 and ttyS3 (no UART) not listed"
  local twins
  twins=$(grep 'usb=0403:6001 manufacturer=' ports.txt | grep -o 'path=[^ ]*' | sort | tr '\n' ' ')
  [ "$twins" = "path=1-2.1 path=1-2.3 " ]
  expect ports-twins-by-location $? "adapters without serial number at: $twins"

  $cli ports --json >ports.json 2>&1
  grep -q '"name":"ttyUSB0","path":"/dev/ttyUSB0","driver":"ftdi_sio","virtual":false,"usb":{"vid":"0403","pid":"6001","serial":"KORV0001"' ports.json &&
    grep -q '"location":"1-2.1"' ports.json && grep -q '"location":"1-2.3"' ports.json &&
    grep -q '"name":"ttyS1"' ports.json && ! grep -q '"name":"ttyS2"' ports.json
  expect ports-json $? "ttyUSB0 with its USB identity, the twins' locations, ttyS1, no ttyS2"

  local rc
  rc=$(run select-ambiguous write -q --no-verify -p vid:pid=0403:6001 /data/a.IOS)
  [ "$rc" = 10 ] && grep -q 'matches 3 ports' select-ambiguous.out
  expect select-ambiguous $? "vid:pid of three adapters refused: exit $rc"
}

# unplug_check NAME COMMAND... (korvane-cli's arguments, -v among them): runs
# the operation, asks the host to unplug usb0 once the trace shows $trigger
# and $delay microseconds more, and measures the time to the result from the
# port's disappearance (checked: at most 3 s) and from the request.
unplug_check() {
  local name=$1
  shift
  rm -f "$name.rc" "$name.end"
  ("$cli" "$@" >"$name.out" 2>"$name.err"; echo $? >"$name.rc"; uptime_cs >"$name.end") &
  if ! wait_for_text "$name.err" "$trigger" 20; then
    check "$name" FAIL "the operation never reached '$trigger'"
    wait
    return
  fi
  usleep "$delay"
  local asked
  asked=$(uptime_cs)
  echo "@@HOST unplug usb0"
  if ! wait_for /sys/class/tty/ttyUSB0 absent 10; then
    check "$name" FAIL "ttyUSB0 did not go away"
    wait
    return
  fi
  local gone
  gone=$(uptime_cs)
  wait
  local rc took
  rc=$(cat "$name.rc")
  took=$(($(cat "$name.end") - gone))
  [ "$took" -lt 0 ] && took=0
  echo "@@FIGURE $name-unplug-to-result-seconds $(seconds $took)"
  echo "@@FIGURE $name-request-to-result-seconds $(seconds $(($(cat "$name.end") - asked)))"
  local result
  result=$(grep -o '"port":"[^"]*"\|"phase":"[^"]*"\|"message":"[^"]*"' "$name.out" | tr '\n' ' ')
  [ "$rc" = 18 ] && echo "$result" | grep -q '"port":"/dev/ttyUSB0"' &&
    echo "$result" | grep -q '"message":"the line was lost (device unplugged?) during '
  expect "$name-result" $? "exit $rc, $result"
  [ "$took" -le 300 ]
  expect "$name-prompt" $? "result $(seconds $took) s after the port went away (fails above 3 s)"

  $cli ports >"$name.ports" 2>&1
  ! grep -q '^ttyUSB0 ' "$name.ports"
  expect "$name-port-gone" $? "ttyUSB0 no longer listed"
  echo "@@HOST plug usb0"
  wait_for /dev/ttyUSB0 present 30
  expect "$name-replugged" $? "ttyUSB0 back after device_add"
}

if wait_for /dev/ttyUSB2 present 30; then check usb-adapters ok "three ttyUSB ports"; else
  check usb-adapters FAIL "$(ls /dev | grep 'tty[US]' | tr '\n' ' ')"
  dmesg | tail -n 20 | sed 's/^/@@DMESG /'
fi
ports_checks

# The line runs at another speed before each first write, so that the host
# sees the speed korvane-cli sets.
stty -F /dev/ttyUSB0 19200 && echo "@@HOST mark-speed 0"
write_check write-ttyUSB0 /dev/ttyUSB0 a 0
echo "@@HOST speed 0 9600"
read_check read-ttyUSB0 /dev/ttyUSB0 a
stty -F /dev/ttyS1 19200 && echo "@@HOST mark-speed 1"
write_check write-ttyS1 /dev/ttyS1 b 1
echo "@@HOST speed 1 9600"
read_check read-ttyS1 /dev/ttyS1 b

# The twins are chosen by their locations alone.
rc=$(run_again write-parallel write -q -p /dev/ttyUSB0 -p /dev/ttyS1 -p path=1-2.1 -p path=1-2.3 \
  /data/c.IOS)
expect write-parallel "$rc" "write c.IOS on ttyUSB0, ttyS1, path=1-2.1 and path=1-2.3 at once: exit $rc"
if [ "$rc" = 0 ]; then
  for sim in 0 1 2 3; do echo "@@HOST image $sim c"; done
fi
read_check read-parallel-ttyUSB0 /dev/ttyUSB0 c &
read_check read-parallel-ttyS1 /dev/ttyS1 c &
wait

# A port in use by one korvane-cli is refused to another.
rm -f busy-read.err
("$cli" read -v -p /dev/ttyUSB0 -o busy-read.IOS >busy-read.out 2>busy-read.err; echo $? >busy-read.rc) &
if wait_for_text busy-read.err "sent 8 bytes" 20; then
  rc=$(run busy-write write -q --no-verify -p /dev/ttyUSB0 /data/a.IOS)
  [ "$rc" = 10 ] && grep -q 'in use by another program' busy-write.out
  expect busy-port-refused $? "exit $rc: $(grep -m 1 'in use' busy-write.out)"
else
  check busy-port-refused FAIL "the first read never started"
fi
wait
[ "$(cat busy-read.rc)" = 0 ]
expect busy-port-holder $? "the read holding the port: exit $(cat busy-read.rc)"

trigger="sent 512 bytes" delay=300000
unplug_check unplug-block write -v --json --no-verify -p /dev/ttyUSB0 /data/b.IOS
write_check write-after-unplug-block /dev/ttyUSB0 a 0

trigger="sent 8 bytes" delay=1500000
unplug_check unplug-read read -v --json -p /dev/ttyUSB0 -o unplug-read.IOS
write_check write-after-unplug-read /dev/ttyUSB0 b 0

echo "@@DONE $(cut -d' ' -f1 /proc/uptime)"
poweroff -f
