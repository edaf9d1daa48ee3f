#include "sim/ImageFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "device/ConfigImage.h"
#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

namespace korvane {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error("cannot " + what + " " + path + ": " + std::strerror(error));
}

// Writes, flushes and closes the temporary file; the error's message is the
// step that failed.
TStatus FillAndClose(UniqueFd file, const std::string& image) {
  if (const TStatus written = WriteAll(file.Get(), image); !written) {
    return TError{written.Error().Code, "write"};
  }
  if (::fsync(file.Get()) != 0) {
    return LastSystemError("flush");
  }
  // A file system may report a failed write only when the file is closed.
  if (!file.Close()) {
    return LastSystemError("write");
  }
  return {};
}

}  // namespace

std::optional<std::string> LoadImageFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) {
    return std::nullopt;
  }
  if (std::filesystem::is_directory(path, error)) {
    throw std::runtime_error(path + " is a folder, not an image file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Fail("read", path, errno);
  }
  std::ostringstream contents;
  contents << in.rdbuf();
  const std::string image = contents.str();
  if (in.bad()) {
    Fail("read", path, errno);
  }
  if (image.size() != kImageSize) {
    throw std::runtime_error(path + " holds " + std::to_string(image.size()) +
                             " bytes; a configuration image has exactly " +
                             std::to_string(kImageSize));
  }
  return image;
}

void SaveImageFile(const std::string& path, const std::string& image) {
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file.Valid()) {
    Fail("write", path, errno);
  }
  TStatus saved = FillAndClose(std::move(file), image);
  if (saved && ::rename(temporary.c_str(), path.c_str()) != 0) {
    saved = LastSystemError("replace");
  }
  if (!saved) {
    ::unlink(temporary.c_str());
    Fail(saved.Message(), path, saved.Error().Code.value());
  }
}

}  // namespace korvane
