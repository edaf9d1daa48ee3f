#include "cli/PortIdentity.h"

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

}  // namespace

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
