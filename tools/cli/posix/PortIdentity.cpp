#include "cli/PortIdentity.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace korvane::cli {
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
std::optional<UsbIdentity> FindUsb(const fs::path& device) {
  std::error_code error;
  for (fs::path at = fs::canonical(device, error); !error && at.has_relative_path();
       at = at.parent_path()) {
    if (fs::exists(at / "idVendor", error)) {
      return UsbIdentity{Lower(ReadAttribute(at / "idVendor")),
                         Lower(ReadAttribute(at / "idProduct")), ReadAttribute(at / "serial"),
                         ReadAttribute(at / "manufacturer"), ReadAttribute(at / "product")};
    }
  }
  return std::nullopt;
}

std::string FindById(const std::string& devicePath, const std::string& byIdFolder) {
  std::error_code error;
  const fs::path target = fs::canonical(devicePath, error);
  if (error) {
    return {};
  }
  std::vector<std::string> links;
  for (const auto& entry : fs::directory_iterator(byIdFolder, error)) {
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
  PortIdentity port{entry.Name, entry.Path, {}, {}, {}, false, std::nullopt};
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
  port.Usb = FindUsb(device);
  port.ById = FindById(entry.Path, byIdFolder);
  return port;
}

std::vector<PortIdentity> ListPortIdentities() {
  std::vector<PortIdentity> ports;
  for (const SerialPortEntry& entry : ListSerialPorts()) {
    ports.push_back(IdentifyPort(entry, "/sys/class/tty", "/dev/serial/by-id"));
  }
  return ports;
}

}  // namespace korvane::cli
