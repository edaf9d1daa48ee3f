// The virtual device takes whatever the line brings. The input is a byte
// stream in records of [silence before, in 20 ms][length][bytes]; the first
// byte chooses the device's options. Whatever arrives, the device keeps an
// image of its size, and answers only with its own messages.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/ConfigImage.h"
#include "model/HexCodec.h"
#include "sim/DeviceModel.h"
#include "tests/fuzz/FuzzCheck.h"

using korvane::test::Check;

namespace {

korvane::DeviceOptions OptionsFrom(std::uint8_t bits) {
  korvane::DeviceOptions options;
  options.Silent = (bits & 0x01) != 0;
  options.ExtraByte = (bits & 0x02) != 0;
  options.Echo = (bits & 0x04) != 0;
  options.CorruptImage = (bits & 0x08) != 0;
  options.AnswerRequestFrom = 1 + ((bits >> 4) & 0x01);
  options.AckBlockFrom[2] = 1 + ((bits >> 5) & 0x01);
  options.ReadReplyBytes = (bits & 0x40) != 0 ? 3000 : korvane::kReadReplySize;
  return options;
}

bool IsOwnMessage(const korvane::Transmission& sent, const korvane::DeviceOptions& options) {
  if (sent.Meaning == "echo") {
    return options.Echo;
  }
  std::string bytes = sent.Bytes;
  if (options.ExtraByte && !bytes.empty() && bytes.back() == korvane::kExtraByte) {
    bytes.pop_back();
  }
  const std::string hex = korvane::BytesToHex(bytes);
  return hex == korvane::kProgrammingAcceptedHex || hex == korvane::kBlockReceivedHex ||
         bytes.size() == options.ReadReplyBytes;
}

// A read reply is the lead, then the image the device holds (cut to the
// reply's length).
void CheckReadReply(const korvane::Transmission& sent, const korvane::DeviceOptions& options,
                    const std::string& image) {
  if (sent.Meaning == "echo" || sent.Bytes.size() < options.ReadReplyBytes) {
    return;
  }
  const std::string_view reply = std::string_view(sent.Bytes).substr(0, options.ReadReplyBytes);
  Check(reply.find_first_not_of(korvane::kFillerByte) >= korvane::kLeadSize,
        "a read reply starts with the lead");
  const std::string_view held = reply.substr(korvane::kLeadSize, korvane::kImageSize);
  Check(held == std::string_view(image).substr(0, held.size()),
        "a read reply holds the image the device holds");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const korvane::DeviceOptions options = OptionsFrom(data[0]);
  korvane::TDeviceModel device =
      korvane::TDeviceModel::Create(options, korvane::TDeviceModel::DefaultImage()).Value();
  device.OnNewImage = [&](const std::string& image) {
    Check(image.size() == korvane::kImageSize, "a new image has the image's size");
  };
  auto now = korvane::TDeviceModel::Clock::time_point{};
  for (std::size_t at = 1; size - at >= 2;) {
    now += std::chrono::milliseconds(20 * data[at]);
    const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
    const auto* bytes = reinterpret_cast<const char*>(data + at + 2);
    for (const korvane::Transmission& sent : device.Receive({bytes, length}, now)) {
      Check(IsOwnMessage(sent, options), "the device sends only its own messages");
      CheckReadReply(sent, options, device.Image());
    }
    Check(device.Image().size() == korvane::kImageSize, "the image keeps its size");
    Check(!device.Receiving() ||
              (device.ExpectedBlock() >= 0 && device.ExpectedBlock() < korvane::kBlockCount),
          "a device receiving blocks expects one of the five");
    at += 2 + length;
  }
  if (const auto deadline = device.NextDeadline()) {
    device.Tick(*deadline);
  }
  return 0;
}
