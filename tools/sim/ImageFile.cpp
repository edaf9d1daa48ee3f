#include "sim/ImageFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "device/ConfigImage.h"

namespace korvane {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error("cannot " + what + " " + path + ": " + std::strerror(error));
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0) {
      Fail("write", path, errno);
    }
    done += static_cast<std::size_t>(written);
  }
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
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    Fail("write", path, errno);
  }
  try {
    WriteAll(fd, image, path);
    if (::fsync(fd) != 0) {
      Fail("flush", path, errno);
    }
  } catch (...) {
    ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    Fail("write", path, error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    Fail("replace", path, error);
  }
}

}  // namespace korvane
