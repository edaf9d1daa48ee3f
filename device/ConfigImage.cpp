#include "device/ConfigImage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "model/HexCodec.h"

namespace korvane {

std::string ConfigFilePathIn(const std::string& directory) {
  return directory + "Configuration.bin";
}

std::string ImageDirectoryFor(const std::string& programDirectory,
                              const std::string& stateDirectory) {
  if (stateDirectory.empty() || ImageFileProblem(ConfigFilePathIn(programDirectory)).empty()) {
    return programDirectory;
  }
  std::error_code ignored;  // a folder that cannot be made is reported when the image is built
  std::filesystem::create_directories(stateDirectory, ignored);
  return stateDirectory;
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

bool BuildImage(const CodeTable& table, int baudIndex, const std::string& path,
                const std::function<void()>& onStep, std::string* cause) {
  bool complete = true;
  const auto write = [&](std::string_view bytes, std::uint32_t offset) {
    if (!bytes.empty() && !WriteImageBytes(path, bytes, offset, complete ? cause : nullptr)) {
      complete = false;
    }
  };
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      const std::uint32_t area = AreaOffset(button, slot);
      const std::uint32_t length = std::min(CodeLengthFromText(text), kMaxCodeBytes);
      write(HexToBytes(IntToHex2(static_cast<std::int32_t>(length))), area);
      std::string code = HexToBytes(text);
      if (code.size() > kMaxCodeBytes) {
        code.resize(kMaxCodeBytes);
      }
      write(code, area + 1);
      if (onStep) {
        onStep();
      }
    }
  }
  write(HexToBytes(IntToHex2(baudIndex)), kBaudOffset);
  return complete;
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
