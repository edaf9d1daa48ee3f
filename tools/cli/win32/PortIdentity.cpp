#include "tools/cli/PortIdentity.h"

#include <windows.h>

#include <map>

namespace korvane::cli {
namespace {

constexpr char kSerialCommKey[] = "hardware\\DeviceMap\\SerialComm";

// Port name to the registry value that lists it (the driver's device name,
// e.g. \Device\Serial0 or \Device\VCP0).
std::map<std::string, std::string> RegistryDeviceNames() {
  std::map<std::string, std::string> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    DWORD valueNameSize = sizeof valueName;
    BYTE data[256];
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG status =
        ::RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) {
      break;
    }
    if (status == ERROR_SUCCESS && type == REG_SZ) {
      data[dataSize] = 0;
      names[reinterpret_cast<const char*>(data)] = std::string(valueName, valueNameSize);
    }
  }
  ::RegCloseKey(key);
  return names;
}

}  // namespace

PortIdentity IdentifyPort(const SerialPortEntry& entry, const std::string& /*classTty*/,
                          const std::string& /*byIdFolder*/) {
  return PortIdentity{entry.Name, entry.Path, {}, {}, {}, false, std::nullopt};
}

std::vector<PortIdentity> ListPortIdentities() {
  const auto deviceNames = RegistryDeviceNames();
  std::vector<PortIdentity> ports;
  for (const SerialPortEntry& entry : ListSerialPorts()) {
    PortIdentity port = IdentifyPort(entry, {}, {});
    if (const auto found = deviceNames.find(entry.Name); found != deviceNames.end()) {
      port.Driver = found->second;
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace korvane::cli
