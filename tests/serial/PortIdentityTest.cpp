#include "serial/PortIdentity.h"

#include <gtest/gtest.h>

#include "tests/support/FakeSysfs.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

using test::FakeSysfs;
using test::kAdapters;
using test::kTwins;

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
}  // namespace korvane
