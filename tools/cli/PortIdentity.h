#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "serial/PortList.h"

namespace korvane::cli {

struct UsbIdentity {
  std::string Vid;  // four lower-case hex digits
  std::string Pid;
  std::string Serial;
  std::string Manufacturer;
  std::string Product;
};

// What tells one port from another: two adapters of one make differ only here.
struct PortIdentity {
  std::string Name;         // as listed
  std::string Path;         // the device the port opens
  std::string Driver;       // kernel driver (Linux) or the registry's device name (Windows)
  std::string ById;         // the /dev/serial/by-id/ link, when there is one
  std::string Description;  // Windows: the device description, where available
  bool Virtual = false;     // a simulator's port, no hardware behind it
  std::optional<UsbIdentity> Usb;
  // Where the adapter is plugged in, the same after a replug into the same
  // socket: the USB bus path from sysfs ("1-2.3", with or without udev) on
  // Linux, the device's location path on Windows; empty for other ports.
  // `--port path=...` selects by it. Two adapters of one make without serial
  // numbers differ only here.
  std::string Location;
  std::string ByPath;  // the /dev/serial/by-path/ link, when udev made one
};

// The listed ports with their identities.
std::vector<PortIdentity> ListPortIdentities();

// Linux: the identity of one listed port from sysfs (`classTty`, normally
// /sys/class/tty) and the by-id links (`byIdFolder`, normally /dev/serial/by-id);
// the by-path links are looked up in the folder `by-path` beside it.
PortIdentity IdentifyPort(const SerialPortEntry& entry, const std::string& classTty,
                          const std::string& byIdFolder);

// Windows: the USB identity in a device instance ID such as
// "USB\\VID_1A86&PID_7523\\5&2D2E0B8C&0&2" or "FTDIBUS\\VID_0403+PID_6001+A10KQ2Z9A\\0000".
// The serial number is the ID's last part where the system took it from the
// device (it then holds no '&'); nullopt without a VID and PID.
std::optional<UsbIdentity> UsbFromInstanceId(const std::string& instanceId);

// One line of `korvane-cli ports`.
std::string PortLine(const PortIdentity& port);

// The identity as a JSON object.
Json PortJson(const PortIdentity& port);
Json UsbJson(const PortIdentity& port);  // null for a port that is no USB adapter

}  // namespace korvane::cli
