#include "cli/PortIdentity.h"

#include <gtest/gtest.h>

#include "cli/PortSelection.h"
#include "tests/support/FakeSysfs.h"

namespace korvane::cli {
namespace {

using test::FakeSysfs;
using test::kAdapters;
using test::kTwins;

TEST(PortIdentity, LineAndJsonNameWhatTellsPortsApart) {
  const auto ports = FakeSysfs(kAdapters).Identities({"ttyUSB2"});
  const std::string line = PortLine(ports[0]);
  EXPECT_NE(line.find("driver=ftdi_sio usb=0403:6001 serial=A10KQ2Z9"), std::string::npos);
  EXPECT_NE(line.find("product=\"FT232R USB UART\""), std::string::npos) << line;

  const auto twins = FakeSysfs(kTwins).Identities({"ttyUSB1"});
  const std::string twinLine = PortLine(twins[0]);
  EXPECT_NE(twinLine.find("product=FT232R path=1-2.3 by-path="), std::string::npos) << twinLine;
  EXPECT_EQ(PortJson(twins[0])["location"], "1-2.3");
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

}  // namespace
}  // namespace korvane::cli
