#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "device/ImageFolder.h"

namespace korvane {
namespace {

// An environment folder counts only when it is an absolute path.
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// True when a new file can be made beside `path`.
bool FolderAcceptsFiles(const std::string& path) {
  std::string probe = path + ".XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace

std::string UserStateDirectory() {
  std::string base = AbsoluteFromEnvironment("XDG_STATE_HOME");
  if (base.empty()) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) {
      return "";
    }
    base = home + "/.local/state";
  }
  return base + "/korvane/";
}

std::string ImageFileProblem(const std::string& path) {
  const bool existed = ::access(path.c_str(), F_OK) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int cause = errno;
    return FolderAcceptsFiles(path) ? "" : std::strerror(cause);
  }
  ::close(fd);
  if (!existed) {
    ::unlink(path.c_str());
  }
  return "";
}

}  // namespace korvane
