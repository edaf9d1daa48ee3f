#!/bin/busybox sh
# The real-driver guest's init: loads the USB serial drivers, runs korvane-cli
# against the adapters that the host wired to simulators, and prints one line
# per check ("@@CHECK NAME ok|FAIL DETAIL") and figures ("@@FIGURE NAME VALUE")
# on the console. "@@HOST VERB ARGS" lines ask the host to act (unplug, plug,
# compare an image, read a line speed). Ends with "@@DONE" and powers off.
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
mkdir -p /tmp/img
cd /tmp

check() { # NAME ok|FAIL DETAIL...
  echo "@@CHECK $*"
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

ports_checks() {
  korvane-cli ports >ports.txt 2>&1
  cat ports.txt | sed 's/^/@@PORTS /'
}

if wait_for /dev/ttyUSB2 present 20; then check usb-adapters ok "three ttyUSB ports"; else
  check usb-adapters FAIL "$(ls /dev | grep tty[US] | tr '\n' ' ')"
  dmesg | tail -n 30 | sed 's/^/@@DMESG /'
fi
ls -l /sys/class/tty/ttyUSB*/device | sed 's/^/@@LS /' 
ports_checks
echo "@@DONE"
poweroff -f
