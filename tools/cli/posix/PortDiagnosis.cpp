#include "tools/cli/PortDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvane::cli {
namespace {

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

std::string PermissionText(const std::string& path, const struct stat& info) {
  const std::string group = GroupName(info.st_gid);
  return path + ": permission denied. The device belongs to group '" + group +
         "'; add your user to it (sudo usermod -aG " + group + " $USER) and log in again.";
}

}  // namespace

std::string DiagnosePortProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return path + ": no such serial port (" + std::strerror(errno) + ")";
  }
  if (!S_ISCHR(info.st_mode)) {
    return path + ": not a serial device";
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM) {
      return PermissionText(path, info);
    }
    if (errno == EBUSY) {
      return path + ": in use by another program";
    }
    return path + ": cannot be opened (" + std::strerror(errno) + ")";
  }
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  if (locked) {
    return path + ": in use by another program";
  }
  return {};
}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void PrepareConsole() {}

}  // namespace korvane::cli
