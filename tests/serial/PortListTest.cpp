#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "serial/PortList.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class PortListTest : public ::testing::Test {
 protected:
  PortListTest() : root_(fs::path(::testing::TempDir()) / ("ports-" + std::to_string(::getpid()))) {
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~PortListTest() override { fs::remove_all(root_); }

  // One /sys/class/tty entry; `uartType` < 0 writes no type file.
  void AddEntry(const std::string& name, bool withDevice, int uartType = -1) {
    const fs::path entry = root_ / "tty" / name;
    fs::create_directories(entry);
    if (withDevice) {
      fs::create_directories(root_ / "devices" / name);
      fs::create_directory_symlink(root_ / "devices" / name, entry / "device");
    }
    if (uartType >= 0) {
      std::ofstream(entry / "type") << uartType << "\n";
    }
  }

  fs::path root_;
};

TEST_F(PortListTest, ListsPortsWithADeviceInNaturalOrder) {
  AddEntry("tty0", false);
  AddEntry("console", false);
  AddEntry("ttyUSB10", true);
  AddEntry("ttyUSB2", true);
  AddEntry("ttyACM0", true);
  AddEntry("ttyS0", true, 4);  // a 16550A behind it
  AddEntry("ttyS1", true, 0);  // no UART detected
  AddEntry("ttyS2", true);     // no type reported
  std::vector<std::string> names;
  for (const SerialPortEntry& port : ListRealSerialPorts((root_ / "tty").string())) {
    names.push_back(port.Name);
    EXPECT_EQ(port.Path, "/dev/" + port.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB2", "ttyUSB10"}));
}

TEST_F(PortListTest, VirtualTerminalsAreNeverListedButLookalikesAre) {
  // A device link here would be an anomaly; the names alone rule them out.
  for (const char* name : {"tty", "tty1", "tty63", "console", "ptmx"}) {
    AddEntry(name, true);
  }
  for (const char* name : {"ttyX0", "tty1a", "ttyprintk", "ttyAMA0"}) {
    AddEntry(name, true);
  }
  std::vector<std::string> names;
  for (const SerialPortEntry& port : ListRealSerialPorts((root_ / "tty").string())) {
    names.push_back(port.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"tty1a", "ttyAMA0", "ttyX0", "ttyprintk"}));
}

TEST_F(PortListTest, MissingRootGivesNoPorts) {
  EXPECT_TRUE(ListRealSerialPorts((root_ / "absent").string()).empty());
}

TEST(NaturalLessTest, ComparesDigitRunsByValue) {
  EXPECT_TRUE(NaturalLess("ttyUSB2", "ttyUSB10"));
  EXPECT_FALSE(NaturalLess("ttyUSB10", "ttyUSB2"));
  EXPECT_TRUE(NaturalLess("ttyACM9", "ttyS0"));
  EXPECT_TRUE(NaturalLess("KSIM", "KSIM1"));
  EXPECT_TRUE(NaturalLess("a01", "a1"));  // equal value: a stable tie-break
  EXPECT_FALSE(NaturalLess("a1", "a01"));
  EXPECT_FALSE(NaturalLess("x", "x"));
}

}  // namespace
}  // namespace korvane
