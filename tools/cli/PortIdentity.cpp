#include "cli/PortIdentity.h"

#include <algorithm>
#include <cctype>

#include "cli/Json.h"

namespace korvane::cli {
namespace {

// A value that holds blanks or quotes is quoted, so the line splits cleanly.
std::string Field(const std::string& key, const std::string& value) {
  if (value.find_first_of(" \t\"") == std::string::npos) {
    return " " + key + "=" + value;
  }
  return " " + key + "=" + JsonQuote(value);
}

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

std::string PortLine(const PortIdentity& port) {
  std::string line = port.Name + " " + port.Path;
  if (port.Virtual) {
    return line + " virtual";
  }
  if (!port.Driver.empty()) {
    line += Field("driver", port.Driver);
  }
  if (port.Usb) {
    line += " usb=" + port.Usb->Vid + ":" + port.Usb->Pid;
    for (const auto& [key, value] : {std::pair{"serial", port.Usb->Serial},
                                     {"manufacturer", port.Usb->Manufacturer},
                                     {"product", port.Usb->Product}}) {
      if (!value.empty()) {
        line += Field(key, value);
      }
    }
  }
  if (!port.Location.empty()) {
    line += Field("path", port.Location);  // as `--port path=...` takes it
  }
  if (!port.ById.empty()) {
    line += Field("by-id", port.ById);
  }
  if (!port.ByPath.empty()) {
    line += Field("by-path", port.ByPath);
  }
  if (!port.Description.empty()) {
    line += Field("description", port.Description);
  }
  return line;
}

Json UsbJson(const PortIdentity& port) {
  if (!port.Usb) {
    return nullptr;
  }
  return JsonObject()
      .Add("vid", port.Usb->Vid)
      .Add("pid", port.Usb->Pid)
      .Add("serial", port.Usb->Serial)
      .Add("manufacturer", port.Usb->Manufacturer)
      .Add("product", port.Usb->Product)
      .Value();
}

Json PortJson(const PortIdentity& port) {
  return JsonObject()
      .Add("name", port.Name)
      .Add("path", port.Path)
      .Add("driver", port.Driver)
      .Add("virtual", port.Virtual)
      .Add("usb", UsbJson(port))
      .Add("by_id", port.ById)
      .Add("location", port.Location)
      .Add("by_path", port.ByPath)
      .Add("description", port.Description)
      .Value();
}

}  // namespace korvane::cli
