#include "platform/AppendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace korvane {

bool TAppendFdTraits::Close(int fd) {
  return TFdTraits::Close(fd);
}

TResult<TAppendFile> TAppendFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    return SystemFailure(LastSystemErrorCode());
  }
  return TAppendFile(fd);
}

TStatus TAppendFile::Append(std::string_view bytes) {
  ssize_t written = -1;
  do {
    written = ::write(file_.Get(), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    return SystemFailure(LastSystemErrorCode());
  }
  if (static_cast<std::size_t>(written) != bytes.size()) {
    return SystemFailure(std::make_error_code(std::errc::no_space_on_device));
  }
  return {};
}

TStatus TAppendFile::Close() {
  if (!file_.Close()) {
    return SystemFailure(LastSystemErrorCode());
  }
  return {};
}

}  // namespace korvane
