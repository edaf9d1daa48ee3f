#include "serial/PortList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "serial/VirtualPorts.h"

namespace korvane {
namespace fs = std::filesystem;

namespace {

constexpr const char* kClassTty = "/sys/class/tty";
constexpr const char* kDevicePrefix = "//./";

// The 8250 driver registers a ttyS entry for every possible port; only those
// where a UART was detected report a type other than 0 (PORT_UNKNOWN).
bool HasUart(const fs::path& entry) {
  std::ifstream typeFile(entry / "type");
  int type = 0;
  return typeFile >> type && type != 0;
}

// Virtual consoles (tty, tty0 ... tty63), the console and the pty master
// never have a device behind them. Most entries are of this kind; naming
// them spares the editor's once-a-second scan a file look-up each.
bool IsVirtualTerminalName(const std::string& name) {
  if (name == "tty" || name == "console" || name == "ptmx") {
    return true;
  }
  return name.size() > 3 && name.rfind("tty", 0) == 0 &&
         std::all_of(name.begin() + 3, name.end(),
                     [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)) != 0; });
}

bool IsSerialEntry(const fs::path& entry) {
  if (IsVirtualTerminalName(entry.filename().string())) {
    return false;
  }
  std::error_code error;
  if (!fs::exists(entry / "device", error)) {
    return false;  // virtual consoles and the like have no device behind them
  }
  const std::string name = entry.filename().string();
  return name.rfind("ttyS", 0) != 0 || HasUart(entry);
}

}  // namespace

std::vector<SerialPortEntry> ListRealSerialPorts(const std::string& classTtyRoot) {
  std::vector<SerialPortEntry> ports;
  std::error_code error;
  for (fs::directory_iterator it(classTtyRoot, error), end; !error && it != end;
       it.increment(error)) {
    if (IsSerialEntry(it->path())) {
      const std::string name = it->path().filename().string();
      ports.push_back({name, "/dev/" + name});
    }
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
    return NaturalLess(a.Name, b.Name);
  });
  return ports;
}

std::vector<SerialPortEntry> ListSerialPorts() {
  // A running simulator was started on purpose: list it first, so that the
  // editor opens it at start-up rather than a built-in UART.
  std::vector<SerialPortEntry> ports;
  for (VirtualPort& port : ListVirtualPorts()) {
    ports.push_back({std::move(port.Name), std::move(port.Path)});
  }
  for (SerialPortEntry& port : ListRealSerialPorts(kClassTty)) {
    ports.push_back(std::move(port));
  }
  return ports;
}

std::string DevicePathForCommName(const std::string& commName) {
  const std::string prefix = kDevicePrefix;
  if (commName.compare(0, prefix.size(), prefix) != 0) {
    return commName;
  }
  // Real ports live at /dev/NAME; only virtual ports need a look-up.
  const std::string name = commName.substr(prefix.size());
  for (const VirtualPort& port : ListVirtualPorts()) {
    if (port.Name == name) {
      return port.Path;
    }
  }
  return "/dev/" + name;
}

}  // namespace korvane
