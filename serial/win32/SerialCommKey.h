#pragma once

#include <string>
#include <vector>

#include "serial/PortList.h"

namespace korvane {

// One value of HKLM\hardware\DeviceMap\SerialComm: the port's name and the
// driver's device name that lists it (\Device\Serial0, \Device\VCP0).
struct TSerialCommValue {
  std::string PortName;
  std::string DeviceName;
};

// The key's string values in its enumeration order; empty when no serial
// port has ever been installed. The one place that reads the key.
[[nodiscard]] std::vector<TSerialCommValue> ReadSerialCommKey();

// The port list's entry for `value`: the port is opened as "//./" + its name.
[[nodiscard]] SerialPortEntry ListedPort(const TSerialCommValue& value);

}  // namespace korvane
