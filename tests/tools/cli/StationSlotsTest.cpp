#include "cli/StationSlots.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

PortIdentity Port(const std::string& name, const std::string& vidPid = "", bool isVirtual = false) {
  PortIdentity port;
  port.Name = name;
  port.Path = "/dev/" + name;
  port.Virtual = isVirtual;
  if (!vidPid.empty()) {
    port.Usb = UsbIdentity{vidPid.substr(0, 4), vidPid.substr(5), "", "", ""};
  }
  return port;
}

// "1:ttyUSB0" per slot, "-" for an empty one, "!" for a refused device.
std::string Picture(const TSlotTable& table) {
  std::string text;
  for (const auto& slot : table.Slots()) {
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on
    // `literal + std::to_string(...)` at -O3.
    if (!text.empty()) {
      text += ' ';
    }
    text += std::to_string(slot.Number);
    text += ':';
    text += slot.Device ? slot.Device->Name : slot.Refused.empty() ? "-" : "!";
  }
  return text;
}

TEST(StationSlots, ConsolesComeFromTheKernelCommandLine) {
  EXPECT_EQ(ConsoleNames("root=/dev/vda1 console=tty0 console=ttyS0,115200n8 quiet"),
            (std::vector<std::string>{"tty0", "ttyS0"}));
  EXPECT_TRUE(ConsoleNames("root=/dev/vda1 noconsole=ttyS1").empty());
}

// Each step lists the ports anew; the slots keep their numbers throughout.
TEST(StationSlots, SlotsKeepTheirNumbersAsUnitsComeAndGo) {
  struct Case {
    const char* name;
    std::vector<std::string> ports;
    std::vector<std::string> matches;
    bool includeVirtual;
    std::vector<std::vector<PortIdentity>> listings;
    std::string picture;  // after the last listing
  };
  const PortIdentity usb0 = Port("ttyUSB0", "1a86:7523");
  const PortIdentity usb1 = Port("ttyUSB1", "1a86:7523");
  const PortIdentity other0 = Port("ttyUSB0", "0403:6001");  // another adapter in the same place
  const PortIdentity console = Port("ttyS0");
  const PortIdentity sim = Port("KSIM1", "", true);
  const std::vector<Case> cases = {
      {"all skips the console and simulators",
       {"all"},
       {},
       false,
       {{console, sim, usb0}},
       "1:ttyUSB0"},
      {"all with simulators", {"all"}, {}, true, {{console, sim, usb0}}, "1:KSIM1 2:ttyUSB0"},
      {"a slot keeps its number while empty",
       {"all"},
       {},
       false,
       {{usb0}, {}, {usb1}, {usb0, usb1}},
       "1:ttyUSB0 2:ttyUSB1"},
      {"named slots first, in their order, then all",
       {"ttyUSB1", "all"},
       {},
       false,
       {{usb0, usb1}},
       "1:ttyUSB1 2:ttyUSB0"},
      {"a named slot waits for its port", {"ttyUSB1"}, {}, false, {{usb0}}, "1:-"},
      {"match alone makes slots of what it matches",
       {},
       {"vid:pid=1a86:7523"},
       false,
       {{console, Port("ttyACM0", "2341:0043"), usb1}},
       "1:ttyUSB1"},
      {"a different adapter at a slot is refused",
       {"ttyUSB0"},
       {"vid:pid=1a86:7523"},
       false,
       {{usb0}, {other0}},
       "1:!"},
  };
  for (const Case& c : cases) {
    TSlotTable table(c.ports, c.matches, c.includeVirtual, {"ttyS0"}, Language::English);
    for (const auto& listing : c.listings) {
      table.Update(listing);
    }
    EXPECT_EQ(Picture(table), c.picture) << c.name;
  }
}

}  // namespace
}  // namespace korvane::cli
