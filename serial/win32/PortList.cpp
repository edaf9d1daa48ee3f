#include <vector>

#include "SerialCommKey.h"
#include "WinHandles.h"

namespace korvane {
namespace {

constexpr char kSerialCommKey[] = "hardware\\DeviceMap\\SerialComm";

enum class TValueRead { Port, Other, End };

// Value `index` of `key`: a port (a string value) into `value`, another kind
// of value, or past the last one.
TValueRead ReadValue(HKEY key, DWORD index, TSerialCommValue& value) {
  char valueName[256];
  DWORD valueNameSize = sizeof valueName;
  BYTE data[256];
  DWORD dataSize = sizeof data - 1;
  DWORD type = 0;
  const LONG result =
      ::RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
  if (result == ERROR_NO_MORE_ITEMS) {
    return TValueRead::End;
  }
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    return TValueRead::Other;
  }
  data[dataSize] = 0;
  value.PortName = reinterpret_cast<const char*>(data);  // the stored text ends at its first 0
  value.DeviceName.assign(valueName, valueNameSize);
  return value.PortName.empty() ? TValueRead::Other : TValueRead::Port;
}

}  // namespace

std::vector<TSerialCommValue> ReadSerialCommKey() {
  std::vector<TSerialCommValue> values;
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return values;  // no serial port has ever been installed
  }
  const UniqueRegKey key(opened);
  TSerialCommValue value;
  for (DWORD index = 0;; ++index) {
    const TValueRead read = ReadValue(key.Get(), index, value);
    if (read == TValueRead::End) {
      return values;
    }
    if (read == TValueRead::Port) {
      values.push_back(value);
    }
  }
}

SerialPortEntry ListedPort(const TSerialCommValue& value) {
  return {value.PortName, "//./" + value.PortName};
}

std::vector<SerialPortEntry> ListSerialPorts() {
  std::vector<SerialPortEntry> ports;
  for (const TSerialCommValue& value : ReadSerialCommKey()) {
    ports.push_back(ListedPort(value));
  }
  return ports;
}

std::string DevicePathForCommName(const std::string& commName) {
  return commName;  // the system resolves "//./NAME" and "COMn" itself
}

}  // namespace korvane
