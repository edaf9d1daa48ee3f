#include "platform/AppendFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace korvane {
namespace {

// The C runtime's calls say why they failed in errno, not in GetLastError.
TError RuntimeFailure(int error) {
  return SystemFailure(std::error_code(error, std::generic_category()));
}

}  // namespace

bool TAppendFdTraits::Close(int fd) {
  return ::_close(fd) == 0;
}

TResult<TAppendFile> TAppendFile::Open(const std::string& path) {
  const int fd = ::_open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    return RuntimeFailure(errno);
  }
  return TAppendFile(fd);
}

TStatus TAppendFile::Append(std::string_view bytes) {
  const int written = ::_write(file_.Get(), bytes.data(), static_cast<unsigned>(bytes.size()));
  if (written < 0) {
    return RuntimeFailure(errno);
  }
  if (static_cast<std::size_t>(written) != bytes.size()) {
    return RuntimeFailure(ENOSPC);
  }
  return {};
}

TStatus TAppendFile::Close() {
  if (!file_.Close()) {
    return RuntimeFailure(errno);
  }
  return {};
}

}  // namespace korvane
