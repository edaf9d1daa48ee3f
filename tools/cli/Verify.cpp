#include "cli/Verify.h"

#include <algorithm>

#include "device/ConfigImage.h"
#include "model/BaudRates.h"
#include "model/HexCodec.h"

namespace korvane::cli {
namespace {

// The code's bytes as the image holds them: at most one area, zero-filled up
// to its length byte.
std::string AreaCode(const std::string& text) {
  const std::uint32_t length = std::min(CodeLengthFromText(text), kMaxCodeBytes);
  std::string bytes = HexToBytes(text);
  bytes.resize(length, '\0');
  return bytes;
}

}  // namespace

std::string ExpectedDeviceText(const std::string& text) {
  return BytesToHex(AreaCode(text));
}

std::vector<CodeDifference> CompareWithDevice(const CodeTable& expected, int expectedBaud,
                                              const CodeTable& actual, int actualBaud) {
  std::vector<CodeDifference> differences;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string wanted = ExpectedDeviceText(expected.Text(button, slot));
      const std::string& held = actual.Text(button, slot);
      if (wanted != held) {
        differences.push_back({"IO" + std::to_string(button) + " " + SlotKey(slot), wanted, held});
      }
    }
  }
  if (expectedBaud != actualBaud) {
    differences.push_back({kBaudRateDifference, std::string(BaudRateText(expectedBaud)),
                           std::string(BaudRateText(actualBaud))});
  }
  return differences;
}

}  // namespace korvane::cli
