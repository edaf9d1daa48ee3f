#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

// True when a new file can be made beside `path`.
bool FolderAcceptsFiles(const std::string& path) {
  std::string probe = path + ".XXXXXX";
  UniqueFd file(::mkstemp(probe.data()));
  if (!file.Valid()) {
    return false;
  }
  file.Reset();
  ::unlink(probe.c_str());
  return true;
}

}  // namespace

TStatus ImageFileProblem(const std::string& path) {
  const bool existed = ::access(path.c_str(), F_OK) == 0;
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!file.Valid()) {
    const int cause = errno;
    if (FolderAcceptsFiles(path)) {
      return {};
    }
    return TError{std::error_code(cause, std::generic_category()), std::strerror(cause)};
  }
  file.Reset();
  if (!existed) {
    ::unlink(path.c_str());
  }
  return {};
}

}  // namespace korvane
