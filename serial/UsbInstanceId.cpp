#include <algorithm>
#include <cctype>

#include "serial/PortIdentity.h"

namespace korvane {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The four hex digits after `tag` ("VID_"), lower case; empty when absent.
std::string IdAfter(const std::string& upperId, const std::string& tag) {
  const std::size_t at = upperId.find(tag);
  if (at == std::string::npos || at + tag.size() + 4 > upperId.size()) {
    return {};
  }
  std::string digits = upperId.substr(at + tag.size(), 4);
  for (char& c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      return {};
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return digits;
}

}  // namespace

std::optional<UsbIdentity> UsbFromInstanceId(const std::string& instanceId) {
  const std::string upper = Upper(instanceId);
  UsbIdentity usb{IdAfter(upper, "VID_"), IdAfter(upper, "PID_"), {}, {}, {}};
  if (usb.Vid.empty() || usb.Pid.empty()) {
    return std::nullopt;
  }
  std::vector<std::string> parts(1);
  for (char c : instanceId) {
    if (c == '\\') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  if (Upper(parts[0]) == "USB" && parts.size() >= 3 && parts[2].find('&') == std::string::npos) {
    usb.Serial = parts[2];
  } else if (Upper(parts[0]) == "FTDIBUS" && parts.size() >= 2) {
    // VID_0403+PID_6001+A10KQ2Z9A: the serial number followed by a port letter.
    const std::size_t plus = parts[1].rfind('+');
    if (plus != std::string::npos && parts[1].size() > plus + 2) {
      usb.Serial = parts[1].substr(plus + 1, parts[1].size() - plus - 2);
    }
  }
  return usb;
}

}  // namespace korvane
