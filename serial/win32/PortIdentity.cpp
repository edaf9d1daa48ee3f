#include "serial/PortIdentity.h"

// clang-format off
#include "WinHandles.h"
#include <cfgmgr32.h>
// clang-format on

#include <map>

#include "SerialCommKey.h"

namespace korvane {
namespace {

// The device setup class of serial and parallel ports.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct PortDevice {
  std::string Description;
  std::string InstanceId;
  std::string Location;
};

// The first of a device node's location paths, such as
// "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)"; empty when it has none.
std::string LocationPathOf(DEVINST node) {
  char paths[1024];
  ULONG size = sizeof paths - 2;
  ULONG type = 0;
  if (::CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_PATHS, &type, paths, &size, 0) !=
          CR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return {};
  }
  paths[sizeof paths - 2] = 0;
  return paths;  // the first string of the list
}

// A port of a USB adapter's own bus driver (such as FTDIBUS) has no location
// of its own: its parent, the USB device, has.
std::string PortLocation(DEVINST node) {
  std::string location = LocationPathOf(node);
  DEVINST parent = 0;
  if (location.empty() && ::CM_Get_Parent(&parent, node, 0) == CR_SUCCESS) {
    location = LocationPathOf(parent);
  }
  return location;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  char text[512];
  DWORD type = 0;
  if (!::SetupDiGetDeviceRegistryPropertyA(
          set, &device, property, &type, reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr) ||
      type != REG_SZ) {
    return {};
  }
  text[sizeof text - 1] = 0;
  return text;
}

std::string PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
  const UniqueRegKey key(
      ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
  if (!key) {
    return {};
  }
  char name[64];
  DWORD size = sizeof name - 1;
  DWORD type = 0;
  const LONG status = ::RegQueryValueExA(key.Get(), "PortName", nullptr, &type,
                                         reinterpret_cast<BYTE*>(name), &size);
  if (status != ERROR_SUCCESS || type != REG_SZ) {
    return {};
  }
  name[size] = 0;
  return name;
}

// The present port devices by port name, with their description and
// instance ID (which carries the USB identity); empty where the system has
// no setup information (Wine, some virtual ports).
std::map<std::string, PortDevice> PortDevices() {
  std::map<std::string, PortDevice> found;
  const UniqueDevInfo devices(
      ::SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT));
  if (!devices) {
    return found;
  }
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  HDEVINFO set = devices.Get();
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    const std::string name = PortNameOf(set, device);
    if (name.empty()) {
      continue;
    }
    PortDevice entry;
    entry.Description = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
    if (entry.Description.empty()) {
      entry.Description = DeviceProperty(set, device, SPDRP_DEVICEDESC);
    }
    char id[512];
    if (::SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr)) {
      entry.InstanceId = id;
    }
    entry.Location = PortLocation(device.DevInst);
    found[name] = entry;
  }
  return found;
}

}  // namespace

PortIdentity IdentifyPort(const SerialPortEntry& entry, const std::string& /*classTty*/,
                          const std::string& /*byIdFolder*/) {
  PortIdentity port;
  port.Name = entry.Name;
  port.Path = entry.Path;
  return port;
}

// The ports as ListSerialPorts lists them, from one reading of the registry.
std::vector<PortIdentity> ListPortIdentities() {
  const auto devices = PortDevices();
  std::vector<PortIdentity> ports;
  for (const TSerialCommValue& value : ReadSerialCommKey()) {
    PortIdentity port = IdentifyPort(ListedPort(value), {}, {});
    port.Driver = value.DeviceName;
    if (const auto found = devices.find(value.PortName); found != devices.end()) {
      port.Description = found->second.Description;
      port.Usb = UsbFromInstanceId(found->second.InstanceId);
      port.Location = found->second.Location;
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace korvane
