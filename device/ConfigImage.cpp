#include "device/ConfigImage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "model/HexCodec.h"

namespace korvane {

std::string ConfigFilePathIn(const std::string& directory) {
  return directory + "Configuration.bin";
}

std::uint32_t AreaOffset(int button, int slot) {
  return kBlockSize * static_cast<std::uint32_t>(button - 1) +
         kAreaSize * static_cast<std::uint32_t>(slot - 1);
}

std::uint32_t CodeLengthFromText(std::string_view text) {
  return static_cast<std::uint32_t>((text.size() + 1) / 2);
}

void DeleteImageFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

void BuildImage(const CodeTable& table, int baudIndex, const std::string& path,
                const std::function<void()>& onStep) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      const std::uint32_t area = AreaOffset(button, slot);
      const std::uint32_t length = std::min(CodeLengthFromText(text), kMaxCodeBytes);
      WriteImageBytes(path, HexToBytes(IntToHex2(static_cast<std::int32_t>(length))), area);
      std::string code = HexToBytes(text);
      if (code.size() > kMaxCodeBytes) {
        code.resize(kMaxCodeBytes);
      }
      WriteImageBytes(path, code, area + 1);
      if (onStep) {
        onStep();
      }
    }
  }
  WriteImageBytes(path, HexToBytes(IntToHex2(baudIndex)), kBaudOffset);
}

std::vector<OverlongCode> FindOverlongCodes(const CodeTable& table) {
  std::vector<OverlongCode> found;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::size_t length = table.Text(button, slot).size();
      if (length > static_cast<std::size_t>(kMaxCodeChars)) {
        found.push_back({button, slot, length});
      }
    }
  }
  return found;
}

}  // namespace korvane
