#include "cli/PortIdentity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/PortSelection.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

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
    fs::create_directories(root() / "sys/class/tty/ttyS0");  // no device: not a port
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
  fs::path root() const { return temp_.Path(); }

  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }

  // The folders of the hubs on the way: 1-2.3 lies in 1-2.
  fs::path UsbFolder(const std::string& busPath) const {
    fs::path folder = root() / "sys/devices/pci0000:00/usb1";
    for (std::size_t dot = busPath.find('.'); dot != std::string::npos;
         dot = busPath.find('.', dot + 1)) {
      folder /= busPath.substr(0, dot);
    }
    return folder / busPath;
  }

  void Add(const Adapter& a, std::size_t port) {
    const std::string busPath = a.busPath.empty() ? "1-" + std::to_string(port) : a.busPath;
    const fs::path usb = UsbFolder(busPath);
    const fs::path interface = usb / (busPath + ":1." + std::to_string(a.interface));
    const fs::path ttyDevice = interface / a.tty;
    const fs::path driver = root() / "sys/bus/usb-serial/drivers" / a.driver;
    fs::create_directories(ttyDevice);
    fs::create_directories(driver);
    fs::create_directory_symlink(driver, ttyDevice / "driver");
    Write(usb / "idVendor", a.vid);
    Write(usb / "idProduct", a.pid);
    if (!a.serial.empty()) {
      Write(usb / "serial", a.serial);
    }
    Write(usb / "manufacturer", a.manufacturer);
    Write(usb / "product", a.product);
    Write(usb / "bNumInterfaces", a.twoPort ? " 2" : " 1");
    fs::create_directories(root() / "sys/class/tty" / a.tty);
    fs::create_directory_symlink(ttyDevice, root() / "sys/class/tty" / a.tty / "device");
    fs::create_directories(root() / "dev/serial/by-id");
    Write(root() / "dev" / a.tty, "");
    // Adapters alike in every way share one by-id name: udev keeps one link.
    if (!fs::is_symlink(root() / "dev/serial/by-id" / a.byId)) {
      fs::create_symlink("../../" + a.tty, root() / "dev/serial/by-id" / a.byId);
    }
    if (!a.byPath.empty()) {
      fs::create_directories(root() / "dev/serial/by-path");
      fs::create_symlink("../../" + a.tty, root() / "dev/serial/by-path" / a.byPath);
    }
  }

  test::TempDir temp_;
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

TEST(PortIdentity, ReadsDriverUsbIdentityAndByIdLinkFromSysfs) {
  const FakeSysfs sysfs(kAdapters);
  const auto ports = sysfs.Identities({"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyS0", "KSIM1"});
  for (std::size_t i = 0; i < kAdapters.size(); ++i) {
    const auto& expected = kAdapters[i];
    const PortIdentity& port = ports[i];
    EXPECT_EQ(port.Driver, expected.driver);
    EXPECT_FALSE(port.Virtual);
    ASSERT_TRUE(port.Usb) << port.Name;
    EXPECT_EQ(port.Usb->Vid + ":" + port.Usb->Pid, i < 2 ? "1a86:7523" : "0403:6001");
    EXPECT_EQ(port.Usb->Serial, expected.serial);
    EXPECT_EQ(port.Usb->Product, expected.product);
    EXPECT_EQ(port.ById, sysfs.ById() + "/" + expected.byId);
  }
  EXPECT_TRUE(ports[3].Virtual);  // no device behind the class entry
  EXPECT_TRUE(ports[4].Virtual);
  EXPECT_FALSE(ports[4].Usb);

  const std::string line = PortLine(ports[2]);
  EXPECT_NE(line.find("driver=ftdi_sio usb=0403:6001 serial=A10KQ2Z9"), std::string::npos);
  EXPECT_NE(line.find("product=\"FT232R USB UART\""), std::string::npos) << line;
}

struct SelectionCase {
  std::vector<std::string> arguments;
  int exit;
  std::string chosenOrError;  // the chosen port's name, or a part of the error
};

void ExpectSelections(const std::vector<SelectionCase>& cases,
                      const std::vector<PortIdentity>& listed) {
  for (const SelectionCase& c : cases) {
    const TResult<PortSelection> selection = SelectPorts(c.arguments, listed);
    EXPECT_EQ(selection ? 0 : SelectionExit(selection.Error()), c.exit) << c.arguments.front();
    if (selection) {
      ASSERT_EQ(selection.Value().Targets.size(), 1u);
      EXPECT_EQ(selection.Value().Targets.front().Identity.Name, c.chosenOrError);
    } else {
      EXPECT_NE(selection.Message().find(c.chosenOrError), std::string::npos)
          << selection.Message();
    }
  }
}

TEST(PortIdentity, PortArgumentsChooseExactlyOneDistinctPort) {
  const FakeSysfs sysfs(kAdapters);
  ExpectSelections(
      {
          {{"serial=5A3C0F"}, 0, "ttyUSB1"},
          {{"vid:pid=0403:6001"}, 0, "ttyUSB2"},
          {{"VID:PID=0403:6001"}, 0, "ttyUSB2"},
          {{sysfs.ById() + "/" + kAdapters[2].byId}, 0, "ttyUSB2"},
          {{"serial=NOPE"},
           10,
           "matches no port; the ports are: ttyUSB0 vid:pid=1a86:7523 path=1-1, ttyUSB1"},
          {{"vid:pid=1a86:7523"},
           10,
           "matches 2 ports: ttyUSB0 vid:pid=1a86:7523 path=1-1, ttyUSB1"},
          {{"serial=5a3c0f"}, 10, "matches no port"},  // serial numbers are exact
          {{sysfs.Dev("ttyUSB1"), "serial=5A3C0F"}, 2, "name the same device"},
          {{sysfs.Dev("ttyUSB2"), sysfs.ById() + "/" + kAdapters[2].byId},
           2,
           "name the same device"},
          {{sysfs.Dev("ttyUSB0"), sysfs.Dev("ttyUSB0")}, 2, "name the same device"},
      },
      sysfs.Identities({"ttyUSB0", "ttyUSB1", "ttyUSB2"}));
}

TEST(PortIdentity, LocationIsTheBusPathAndTellsTwinsApart) {
  const FakeSysfs sysfs(kTwins);
  const auto ports = sysfs.Identities({"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3"});
  const std::vector<std::string> locations = {"1-2.1", "1-2.3", "1-4:1.0", "1-4:1.1"};
  for (std::size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].Location, locations[i]);
    EXPECT_EQ(ports[i].ByPath,
              kTwins[i].byPath.empty()
                  ? ""
                  : (fs::path(sysfs.ById()).parent_path() / "by-path" / kTwins[i].byPath).string());
  }
  EXPECT_EQ(FakeSysfs(kAdapters).Identities({"ttyUSB1"}).front().Location, "1-2");

  const std::string line = PortLine(ports[1]);
  EXPECT_NE(line.find("product=FT232R path=1-2.3 by-path="), std::string::npos) << line;
  EXPECT_EQ(PortJson(ports[1])["location"], "1-2.3");
}

TEST(PortIdentity, PathArgumentChoosesByLocation) {
  const FakeSysfs sysfs(kTwins);
  const auto listed = sysfs.Identities({"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3"});
  ExpectSelections(
      {
          {{"path=1-2.3"}, 0, "ttyUSB1"},
          {{"PATH=1-2.1"}, 0, "ttyUSB0"},
          {{"path=1-4:1.1"}, 0, "ttyUSB3"},
          {{listed[1].ByPath}, 0, "ttyUSB1"},
          {{"vid:pid=0403:6001"},
           10,
           "matches 2 ports: ttyUSB0 vid:pid=0403:6001 path=1-2.1, ttyUSB1"},
          {{"path=1-4"}, 10, "matches no port"},  // a two-port adapter: name the interface
          {{"path=1-2"}, 10, "matches no port"},  // the hub is no adapter
          {{"path=1-2.1", listed[0].ByPath}, 2, "name the same device"},
      },
      listed);
}

TEST(PortIdentity, UsbIdentityFromWindowsInstanceIds) {
  struct Case {
    std::string id;
    std::string vidPid;  // empty: no USB identity
    std::string serial;
  };
  const std::vector<Case> cases = {
      {"USB\\VID_1A86&PID_7523\\5&2D2E0B8C&0&2", "1a86:7523", ""},  // generated: no serial
      {"USB\\VID_10C4&PID_EA60\\0001", "10c4:ea60", "0001"},
      {"FTDIBUS\\VID_0403+PID_6001+A10KQ2Z9A\\0000", "0403:6001", "A10KQ2Z9"},
      {"usb\\vid_2341&pid_0043\\75833353035351A0F0A1", "2341:0043", "75833353035351A0F0A1"},
      {"ACPI\\PNP0501\\1", "", ""},
      {"USB\\VID_12&PID_7523\\X", "", ""},  // cut short
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const auto usb = UsbFromInstanceId(c.id);
    EXPECT_EQ(usb ? usb->Vid + ":" + usb->Pid : "", c.vidPid) << c.id;
    EXPECT_EQ(usb ? usb->Serial : "", c.serial) << c.id;
  }
}

}  // namespace
}  // namespace korvane::cli
