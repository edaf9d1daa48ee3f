// A read-back reply is whatever arrives on the line. The input is the reply's
// bytes, delivered one receive event per byte to a read-back on a virtual
// clock; the table must then hold exactly the bytes of each area.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "model/HexCodec.h"
#include "tests/device/ScriptedLink.h"
#include "tests/fuzz/FuzzCheck.h"

using korvane::test::Check;

namespace {

constexpr std::size_t kLeadBytes = 512;

// The bytes of a slot's area as the device holds them: its length byte, then
// as many bytes as it says, or fewer where the reply ends.
std::string AreaBytes(const std::string& reply, int button, int slot) {
  const std::size_t area = kLeadBytes + korvane::AreaOffset(button, slot);
  if (area >= reply.size()) {
    return {};
  }
  const auto length = static_cast<unsigned char>(reply[area]);
  return reply.substr(area + 1, length);
}

int ExpectedBaud(const std::string& reply) {
  const std::size_t at = kLeadBytes + korvane::kBaudOffset;
  const int baud = at < reply.size() ? static_cast<unsigned char>(reply[at]) : -1;
  return baud <= 4 ? baud : -1;
}

void CheckTable(const std::string& reply, const korvane::CodeTable& table) {
  for (int button = 1; button <= korvane::kButtonCount; ++button) {
    for (int slot = 1; slot <= korvane::kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      Check(korvane::test::IsUpperHex(text), "codes read back are hex text");
      Check(korvane::HexToBytes(text) == AreaBytes(reply, button, slot),
            "a code read back holds its area's bytes");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  // The parser itself stands text that is not hex, or too short.
  korvane::CodeTable loose;
  const int looseBaud = korvane::ParseReadReply(reply, loose);
  Check(looseBaud >= -1 && looseBaud <= 4, "the baud index is in range or -1");

  korvane::TResponseLog log;
  korvane::test::ScriptedLink link(log);
  korvane::test::RecordingOperator oper;
  link.Device = [&](const std::string&) { return reply; };
  korvane::DeviceContext context(link, link, log, oper, "");
  korvane::CodeTable table;
  table.SetText(1, 1, "untouched");
  int baud = -2;
  const korvane::TStatus result =
      korvane::ReadBackDevice(context, table, [&](int index) { baud = index; });

  if (size != korvane::kReadReplyBytes) {
    Check(!result && result.Error().Id == korvane::TextId::kReadFailed,
          "a reply of another length is refused");
    Check(table.Text(1, 1) == "untouched" && baud == -2, "a refused reply changes nothing");
    return 0;
  }
  Check(result.Ok(), "a reply of the full length is taken");
  Check(baud == ExpectedBaud(reply), "the baud index is the baud byte, or -1 out of range");
  CheckTable(reply, table);
  return 0;
}
