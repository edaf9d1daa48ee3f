#include <vector>

#include "WinApi.h"
#include "serial/PortList.h"

namespace korvane {
namespace {

constexpr char kSerialCommKey[] = "hardware\\DeviceMap\\SerialComm";

// The string data of value `index` of `key`; false past the last value.
bool ReadPortName(HKEY key, DWORD index, std::string& name, bool& isString) {
  char valueName[256];
  DWORD valueNameSize = sizeof valueName;
  BYTE data[256];
  DWORD dataSize = sizeof data - 1;
  DWORD type = 0;
  const LONG result =
      ::RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
  if (result == ERROR_NO_MORE_ITEMS) {
    return false;
  }
  isString = result == ERROR_SUCCESS && type == REG_SZ;
  if (isString) {
    data[dataSize] = 0;
    name = reinterpret_cast<const char*>(data);  // the stored text ends at its first 0
  }
  return true;
}

}  // namespace

std::vector<SerialPortEntry> ListSerialPorts() {
  std::vector<SerialPortEntry> ports;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return ports;  // no serial port has ever been installed
  }
  std::string name;
  bool isString = false;
  for (DWORD index = 0; ReadPortName(key, index, name, isString); ++index) {
    if (isString && !name.empty()) {
      ports.push_back({name, "//./" + name});
    }
  }
  ::RegCloseKey(key);
  return ports;
}

std::string DevicePathForCommName(const std::string& commName) {
  return commName;  // the system resolves "//./NAME" and "COMn" itself
}

}  // namespace korvane
