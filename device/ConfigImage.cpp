#include "device/ConfigImage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ImageFileFailures.h"
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

namespace {

// Calls `write(bytes, offset)` for each write of the image in build order:
// per area the length byte, then the code bytes; last the baud byte.
// `onArea` follows each area's writes.
void ForEachImageWrite(const CodeTable& table, int baudIndex,
                       const std::function<void(const std::string&, std::uint32_t)>& write,
                       const std::function<void()>& onArea) {
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
      if (onArea) {
        onArea();
      }
    }
  }
  write(HexToBytes(IntToHex2(baudIndex)), kBaudOffset);
}

// Why `found` is not `expected`, for the operator; empty when they are equal.
std::string ImageDifference(const std::string& path, const std::string& found,
                            const std::string& expected) {
  if (found.size() != expected.size()) {
    return path + " holds " + std::to_string(found.size()) + " bytes instead of the " +
           std::to_string(expected.size()) + " built";
  }
  const auto mismatch = std::mismatch(found.begin(), found.end(), expected.begin());
  if (mismatch.first == found.end()) {
    return {};
  }
  return path + " does not hold the image built (first difference at byte " +
         std::to_string(mismatch.first - found.begin()) + ")";
}

}  // namespace

TError NoImageWrite(std::string_view bytes, std::uint32_t offset) {
  return {std::make_error_code(std::errc::invalid_argument),
          "no write of " + std::to_string(bytes.size()) + " bytes at " + std::to_string(offset) +
              " fits the image"};
}

TError NoImageBlock(int block) {
  return {std::make_error_code(std::errc::invalid_argument),
          "the image has no block " + std::to_string(block)};
}

TError ShortImageBlock(const std::string& path, int block) {
  return {std::make_error_code(std::errc::io_error),
          "cannot read block " + std::to_string(block) + " of " + path + ": the file is short"};
}

bool FitsImage(std::string_view bytes, std::uint32_t offset) {
  return !bytes.empty() && offset <= kImageSize && bytes.size() <= kImageSize - offset;
}

std::string ComposeImage(const CodeTable& table, int baudIndex) {
  std::string image(kImageSize, '\0');
  ForEachImageWrite(
      table, baudIndex,
      [&image](const std::string& bytes, std::uint32_t offset) {
        if (FitsImage(bytes, offset)) {
          image.replace(offset, bytes.size(), bytes);
        }
      },
      nullptr);
  return image;
}

TResult<TImageFile> BuildImage(const CodeTable& table, int baudIndex, const std::string& path,
                               const std::function<void()>& onStep) {
  TResult<TImageFile> opened = TImageFile::Open(path);
  if (!opened) {
    return opened;
  }
  const TImageFile& file = opened.Value();
  // Start from a zeroed image: an old file that could not be removed keeps
  // none of its bytes where the areas below write nothing.
  TStatus firstFailure = WriteImageBytes(file, std::string(kImageSize, '\0'), 0);
  ForEachImageWrite(
      table, baudIndex,
      [&](const std::string& bytes, std::uint32_t offset) {
        if (!FitsImage(bytes, offset)) {
          return;  // an empty code: nothing to write
        }
        TStatus written = WriteImageBytes(file, bytes, offset);
        if (!written && firstFailure) {
          firstFailure = std::move(written);
        }
      },
      onStep);
  if (!firstFailure) {
    return firstFailure.Error();
  }
  // The file, not the writes, is what the device gets: read it back whole.
  const TResult<std::string> written = ReadImageFile(file);
  if (!written) {
    return written.Error();
  }
  std::string difference = ImageDifference(path, written.Value(), ComposeImage(table, baudIndex));
  if (!difference.empty()) {
    return TError{std::make_error_code(std::errc::io_error), std::move(difference)};
  }
  return opened;
}

TResult<std::string> ReadCheckedImageBlock(const TImageFile& file, int block,
                                           const std::string& image) {
  TResult<std::string> read = ReadImageBlock(file, block);
  if (read && read.Value().compare(0, kBlockSize, image,
                                   kBlockSize * static_cast<std::size_t>(block), kBlockSize) != 0) {
    return TError{std::make_error_code(std::errc::io_error),
                  "block " + std::to_string(block) + " of " + file.Path() +
                      " no longer holds the image built (changed by another program?)"};
  }
  return read;
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
