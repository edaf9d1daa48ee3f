// While programming, the device's answers are gathered in the response log and
// compared with the expected acknowledgements. The input scripts the device:
// for each thing sent to it, one record of [delay in 10 ms][length][bytes],
// the answer arriving that long after the send; without a record it is
// silent. Whatever it answers, a success must mean that each block went out
// in order, and the log must only ever hold the hex of what arrived.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "model/HexCodec.h"
#include "tests/device/ScriptedLink.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/FuzzTempDir.h"

using korvane::test::Check;

namespace {

class ScriptedAnswers {
 public:
  ScriptedAnswers(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // The next answer, setting its delay on the link.
  std::string Next(korvane::test::ScriptedLink& link) {
    if (size_ - at_ < 2) {
      return {};
    }
    link.ReplyDelayMs = 10u * data_[at_];
    const std::size_t length = std::min<std::size_t>(data_[at_ + 1], size_ - at_ - 2);
    std::string answer(reinterpret_cast<const char*>(data_ + at_ + 2), length);
    at_ += 2 + length;
    return answer;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

korvane::CodeTable SampleTable() {
  korvane::CodeTable table;
  table.SetText(1, 1, "0102");
  table.SetText(2, 5, "FF00FF");
  table.SetText(4, 8, "C7EBC7F3B1E0B3CC");
  return table;
}

// The blocks sent, each resend of a block counted once.
std::vector<std::string> DistinctBlocks(const korvane::test::ScriptedLink& link) {
  std::vector<std::string> blocks;
  for (const std::string& sent : link.SentToDevice()) {
    if (sent.size() == korvane::kBlockSize && (blocks.empty() || blocks.back() != sent)) {
      blocks.push_back(sent);
    }
  }
  return blocks;
}

void CheckSuccess(const korvane::test::ScriptedLink& link, const std::string& image) {
  const std::vector<std::string> blocks = DistinctBlocks(link);
  Check(blocks.size() == korvane::kBlockCount, "a success sent every block");
  for (std::size_t block = 0; block < blocks.size(); ++block) {
    Check(blocks[block] == image.substr(block * korvane::kBlockSize, korvane::kBlockSize),
          "blocks went out in order");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvane::TResponseLog log;
  korvane::test::ScriptedLink link(log);
  korvane::test::RecordingOperator oper;
  ScriptedAnswers answers(data, size);
  link.Device = [&](const std::string&) { return answers.Next(link); };
  link.DuringWait = [&] { Check(korvane::test::IsUpperHex(log.Text()), "the log is hex text"); };
  korvane::DeviceContext context(link, link, log, oper,
                                 korvane::test::ScratchFolder().File("Configuration.bin"));

  const korvane::CodeTable table = SampleTable();
  const korvane::TStatus result = korvane::ProgramDevice(context, table, 2);
  const auto creates =
      std::count_if(oper.Progress.begin(), oper.Progress.end(),
                    [](const std::string& p) { return p.rfind("create", 0) == 0; });
  Check(std::count(oper.Progress.begin(), oper.Progress.end(), "destroy") == creates,
        "no progress bar is left behind");
  Check(oper.Messages.size() == 1, "the operator is told the outcome once");
  switch (result ? korvane::TextId::kNone : result.Error().Id) {
    case korvane::TextId::kNone:
      CheckSuccess(link, korvane::ComposeImage(table, 2));
      break;
    case korvane::TextId::kHandshakeFailed:
      Check(DistinctBlocks(link).empty(), "nothing is sent after a failed handshake");
      break;
    case korvane::TextId::kBlockFailed:
      break;
    default:
      Check(false, "programming ends in success or a failed exchange");
  }
  return 0;
}
