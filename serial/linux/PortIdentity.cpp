#include "serial/PortIdentity.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace korvane {
namespace {

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string value;
  std::getline(in, value);
  while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) {
    value.pop_back();
  }
  return value;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The USB device above a tty's device: the first ancestor with an idVendor.
// Its folder is named by its bus path ("1-2.3": bus 1, hub port 2, port 3).
// An adapter with several ports has one interface per port ("1-2.3:1.1"):
// the location then names the interface, so that each port has its own.
void FindUsb(const fs::path& device, PortIdentity& port) {
  std::error_code error;
  fs::path below;
  for (fs::path at = fs::canonical(device, error); !error && at.has_relative_path();
       below = at, at = at.parent_path()) {
    if (fs::exists(at / "idVendor", error)) {
      port.Usb = UsbIdentity{Lower(ReadAttribute(at / "idVendor")),
                             Lower(ReadAttribute(at / "idProduct")), ReadAttribute(at / "serial"),
                             ReadAttribute(at / "manufacturer"), ReadAttribute(at / "product")};
      const bool severalInterfaces = std::atoi(ReadAttribute(at / "bNumInterfaces").c_str()) > 1;
      port.Location =
          severalInterfaces && !below.empty() ? below.filename().string() : at.filename().string();
      return;
    }
  }
}

// The first link (by name) in `folder` that leads to the device, or empty.
std::string FindLink(const std::string& devicePath, const fs::path& folder) {
  std::error_code error;
  const fs::path target = fs::canonical(devicePath, error);
  if (error) {
    return {};
  }
  std::vector<std::string> links;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::error_code linkError;
    if (fs::canonical(entry.path(), linkError) == target && !linkError) {
      links.push_back(entry.path().string());
    }
  }
  std::sort(links.begin(), links.end());
  return links.empty() ? std::string() : links.front();
}

}  // namespace

PortIdentity IdentifyPort(const SerialPortEntry& entry, const std::string& classTty,
                          const std::string& byIdFolder) {
  PortIdentity port;
  port.Name = entry.Name;
  port.Path = entry.Path;
  const fs::path device = fs::path(classTty) / entry.Name / "device";
  std::error_code error;
  if (!fs::exists(device, error)) {
    port.Virtual = true;  // no hardware behind it: a simulator's pseudo-terminal
    return port;
  }
  const fs::path driver = fs::read_symlink(device / "driver", error);
  if (!error) {
    port.Driver = driver.filename().string();
  }
  FindUsb(device, port);
  port.ById = FindLink(entry.Path, byIdFolder);
  port.ByPath = FindLink(entry.Path, fs::path(byIdFolder).parent_path() / "by-path");
  return port;
}

std::vector<PortIdentity> ListPortIdentities() {
  std::vector<PortIdentity> ports;
  for (const SerialPortEntry& entry : ListSerialPorts()) {
    ports.push_back(IdentifyPort(entry, "/sys/class/tty", "/dev/serial/by-id"));
  }
  return ports;
}

}  // namespace korvane
