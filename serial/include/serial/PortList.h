#pragma once

#include <string>
#include <vector>

namespace korvane {

struct SerialPortEntry {
  std::string Name;  // shown to the operator, e.g. "ttyUSB0" or "KSIM1"
  std::string Path;  // the device the port opens
};

// Linux: the virtual ports published by korvane-sim, then the real serial
// ports, each in natural name order. Windows: the ports of the registry key
// HKLM\hardware\DeviceMap\SerialComm in its enumeration order, each opened
// as "//./" + name.
[[nodiscard]] std::vector<SerialPortEntry> ListSerialPorts();

// Linux only. Real serial ports found under `classTtyRoot` (normally /sys/class/tty):
// entries with a device behind them; 8250-style ttyS entries only when a UART
// was detected. Paths are /dev/ + name.
[[nodiscard]] std::vector<SerialPortEntry> ListRealSerialPorts(const std::string& classTtyRoot);

// The device path a CommName opens. Linux: "//./NAME" is the listed port NAME
// (or /dev/NAME when it is not listed); any other name is used as a path as
// given. Windows: the name itself, which the system resolves.
[[nodiscard]] std::string DevicePathForCommName(const std::string& commName);

// True when `a` sorts before `b` with digit runs compared by value (ttyUSB2
// before ttyUSB10); the order of every port list.
[[nodiscard]] bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace korvane
