#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/PortIdentity.h"
#include "tests/support/TempDir.h"

namespace korvane::test {

// A sysfs tree as the kernel lays it out for USB serial adapters: the tty's
// `device` link leads into the USB interface, whose parent, named by its bus
// path below the hubs' folders, holds the USB device attributes; `driver`
// links to the driver's folder.
class FakeSysfs {
 public:
  struct Adapter {
    std::string tty, driver, vid, pid, serial, manufacturer, product, byId;
    std::string busPath = "";  // "1-2.3"; empty: "1-<its index>"
    int interface = 0;         // the USB interface the port belongs to
    std::string byPath = "";   // the by-path link udev made; empty for none
    bool twoPort = false;      // one USB device with two interfaces, a port each
  };

  explicit FakeSysfs(const std::vector<Adapter>& adapters) {
    for (std::size_t i = 0; i < adapters.size(); ++i) {
      Add(adapters[i], i + 1);
    }
    std::filesystem::create_directories(root() / "sys/class/tty/ttyS0");  // no device: not a port
  }

  std::string ClassTty() const { return (root() / "sys/class/tty").string(); }
  std::string ById() const { return (root() / "dev/serial/by-id").string(); }
  std::string Dev(const std::string& tty) const { return (root() / "dev" / tty).string(); }

  std::vector<PortIdentity> Identities(const std::vector<std::string>& ttys) const {
    std::vector<PortIdentity> ports;
    for (const std::string& tty : ttys) {
      ports.push_back(IdentifyPort({tty, Dev(tty)}, ClassTty(), ById()));
    }
    return ports;
  }

 private:
  std::filesystem::path root() const { return temp_.Path(); }

  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }

  // The folders of the hubs on the way: 1-2.3 lies in 1-2.
  std::filesystem::path UsbFolder(const std::string& busPath) const {
    std::filesystem::path folder = root() / "sys/devices/pci0000:00/usb1";
    for (std::size_t dot = busPath.find('.'); dot != std::string::npos;
         dot = busPath.find('.', dot + 1)) {
      folder /= busPath.substr(0, dot);
    }
    return folder / busPath;
  }

  void Add(const Adapter& a, std::size_t port) {
    const std::string busPath = a.busPath.empty() ? "1-" + std::to_string(port) : a.busPath;
    const std::filesystem::path usb = UsbFolder(busPath);
    const std::filesystem::path interface = usb / (busPath + ":1." + std::to_string(a.interface));
    const std::filesystem::path ttyDevice = interface / a.tty;
    const std::filesystem::path driver = root() / "sys/bus/usb-serial/drivers" / a.driver;
    std::filesystem::create_directories(ttyDevice);
    std::filesystem::create_directories(driver);
    std::filesystem::create_directory_symlink(driver, ttyDevice / "driver");
    Write(usb / "idVendor", a.vid);
    Write(usb / "idProduct", a.pid);
    if (!a.serial.empty()) {
      Write(usb / "serial", a.serial);
    }
    Write(usb / "manufacturer", a.manufacturer);
    Write(usb / "product", a.product);
    Write(usb / "bNumInterfaces", a.twoPort ? " 2" : " 1");
    std::filesystem::create_directories(root() / "sys/class/tty" / a.tty);
    std::filesystem::create_directory_symlink(ttyDevice,
                                              root() / "sys/class/tty" / a.tty / "device");
    std::filesystem::create_directories(root() / "dev/serial/by-id");
    Write(root() / "dev" / a.tty, "");
    // Adapters alike in every way share one by-id name: udev keeps one link.
    if (!std::filesystem::is_symlink(root() / "dev/serial/by-id" / a.byId)) {
      std::filesystem::create_symlink("../../" + a.tty, root() / "dev/serial/by-id" / a.byId);
    }
    if (!a.byPath.empty()) {
      std::filesystem::create_directories(root() / "dev/serial/by-path");
      std::filesystem::create_symlink("../../" + a.tty, root() / "dev/serial/by-path" / a.byPath);
    }
  }

  TempDir temp_;
};

const std::vector<FakeSysfs::Adapter> kAdapters = {
    {"ttyUSB0", "ch341-uart", "1A86", "7523", "", "QinHeng", "USB Serial",
     "usb-1a86_USB_Serial-if00-port0"},
    {"ttyUSB1", "ch341-uart", "1a86", "7523", "5A3C0F", "QinHeng", "USB Serial",
     "usb-1a86_USB_Serial_5A3C0F-if00-port0"},
    {"ttyUSB2", "ftdi_sio", "0403", "6001", "A10KQ2Z9", "FTDI", "FT232R USB UART",
     "usb-FTDI_FT232R_USB_UART_A10KQ2Z9-if00-port0"},
};

// Two adapters of one make without serial numbers behind a hub, and a
// two-port adapter: only where they are plugged in tells them apart.
const std::vector<FakeSysfs::Adapter> kTwins = {
    {"ttyUSB0", "ftdi_sio", "0403", "6001", "", "FTDI", "FT232R", "usb-FTDI_FT232R-if00-port0",
     "1-2.1", 0, "pci-0000:00:14.0-usb-0:2.1:1.0-port0"},
    {"ttyUSB1", "ftdi_sio", "0403", "6001", "", "FTDI", "FT232R", "usb-FTDI_FT232R-if00-port0",
     "1-2.3", 0, "pci-0000:00:14.0-usb-0:2.3:1.0-port0"},
    {"ttyUSB2", "ftdi_sio", "0403", "6010", "", "FTDI", "Dual", "usb-FTDI_Dual-if00-port0", "1-4",
     0, "", true},
    {"ttyUSB3", "ftdi_sio", "0403", "6010", "", "FTDI", "Dual", "usb-FTDI_Dual-if01-port0", "1-4",
     1, "", true},
};

}  // namespace korvane::test
