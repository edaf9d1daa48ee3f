#pragma once

#include <string>
#include <vector>

namespace korvane {

struct SerialPortEntry {
  std::string Name;  // shown to the operator, e.g. "ttyUSB0" or "KSIM1"
  std::string Path;  // the device the port opens
};

// The virtual ports published by korvane-sim, then the real serial ports, each
// in natural name order.
std::vector<SerialPortEntry> ListSerialPorts();

// Real serial ports found under `classTtyRoot` (normally /sys/class/tty):
// entries with a device behind them; 8250-style ttyS entries only when a UART
// was detected. Paths are /dev/ + name.
std::vector<SerialPortEntry> ListRealSerialPorts(const std::string& classTtyRoot);

// The device path a CommName opens: "//./NAME" is the listed port NAME (or
// /dev/NAME when it is not listed); any other name is used as a path as given.
std::string DevicePathForCommName(const std::string& commName);

// True when `a` sorts before `b` with digit runs compared by value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace korvane
