#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "serial/PortList.h"
#include "serial/VirtualPorts.h"
#include "sim/VirtualPortPublication.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Publishes into a folder of the test's own, through XDG_RUNTIME_DIR.
class VirtualPortTest : public ::testing::Test {
 protected:
  VirtualPortTest() {
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    hadPrevious_ = previous != nullptr;
    previous_ = hadPrevious_ ? previous : "";
    ::setenv("XDG_RUNTIME_DIR", root_.Path().c_str(), 1);
    std::ofstream(Slave()).put('x');
  }
  ~VirtualPortTest() override {
    if (hadPrevious_) {
      ::setenv("XDG_RUNTIME_DIR", previous_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }

  std::string Slave() const { return (root_.Path() / "slave").string(); }

  test::TempDir root_;
  bool hadPrevious_ = false;
  std::string previous_;
};

TEST_F(VirtualPortTest, CommNamesMapToDevicePaths) {
  {
    auto published = std::move(PublishVirtualPort(Slave(), "KSIM7")).Value();
    EXPECT_EQ(DevicePathForCommName("//./KSIM7"), published->LinkPath());
    const std::vector<SerialPortEntry> all = ListSerialPorts();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().Name, "KSIM7");
    EXPECT_EQ(all.front().Path, published->LinkPath());
  }
  EXPECT_EQ(DevicePathForCommName("//./KSIM7"), "/dev/KSIM7");  // withdrawn
  EXPECT_EQ(DevicePathForCommName("//./ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePathForCommName("COM1"), "COM1");
  EXPECT_EQ(DevicePathForCommName("/dev/pts/3"), "/dev/pts/3");
}

TEST_F(VirtualPortTest, FreeNamesAreNumberedAndListedInNaturalOrder) {
  std::vector<std::unique_ptr<TVirtualPortPublication>> published;
  published.push_back(std::move(PublishVirtualPort(Slave(), "KSIM10")).Value());
  for (int i = 0; i < 2; ++i) {
    published.push_back(std::move(PublishVirtualPort(Slave())).Value());
  }
  std::vector<std::string> names;
  for (const VirtualPort& port : ListVirtualPorts()) {
    names.push_back(port.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"KSIM1", "KSIM2", "KSIM10"}));
  published.clear();
  EXPECT_TRUE(ListVirtualPorts().empty());
}

TEST_F(VirtualPortTest, NamesThatCannotBePublishedAreRefused) {
  const auto live = PublishVirtualPort(Slave(), "KSIM3");
  ASSERT_TRUE(live.Ok()) << live.Message();
  for (const auto& [name, why] : {std::pair{"KSIM3", "in use by another simulator"},
                                  {"a/b", "invalid port name"},
                                  {"KSIM4.lock", "invalid port name"}}) {
    const auto refused = PublishVirtualPort(Slave(), name);
    ASSERT_FALSE(refused.Ok()) << name;
    EXPECT_NE(refused.Message().find(why), std::string::npos) << refused.Message();
  }
  EXPECT_EQ(ListVirtualPorts().size(), 1u);
}

}  // namespace
}  // namespace korvane
