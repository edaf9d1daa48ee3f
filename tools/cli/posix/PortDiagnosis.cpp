#include "cli/PortDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileLock.h"
#include "platform/UniqueHandle.h"

namespace korvane::cli {
namespace {

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string PermissionText(const std::string& path, const struct stat& info) {
  return PermissionDeniedText(path, info.st_mode, UserName(info.st_uid), GroupName(info.st_gid),
                              info.st_gid == 0);
}

}  // namespace

std::string PermissionDeniedText(const std::string& path, unsigned mode, const std::string& owner,
                                 const std::string& group, bool groupIsRoot) {
  char modeText[8];
  std::snprintf(modeText, sizeof modeText, "%04o", mode & 07777u);
  const std::string denied = path + ": permission denied (mode " + modeText + ", owner '" + owner +
                             "', group '" + group + "'). ";
  const bool groupMayUse = (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  if (groupMayUse && !groupIsRoot) {
    return denied + "Add your user to group '" + group + "' (sudo usermod -aG " + group +
           " $USER) and log in again.";
  }
  const std::string who = groupMayUse
                              ? "user '" + owner + "' and the administrators' group '" + group + "'"
                              : "user '" + owner + "'";
  return denied + "Only " + who +
         " can open it: run as that user, or have an administrator give the device a group "
         "with read and write access (for example a udev rule with GROUP=\"dialout\", "
         "MODE=\"0660\").";
}

std::string DiagnosePortProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return path + ": no such serial port (" + std::strerror(errno) + ")";
  }
  if (!S_ISCHR(info.st_mode)) {
    return path + ": not a serial device";
  }
  const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    if (errno == EACCES || errno == EPERM) {
      return PermissionText(path, info);
    }
    if (errno == EBUSY) {
      return path + ": in use by another program";
    }
    return path + ": cannot be opened (" + std::strerror(errno) + ")";
  }
  // Any failure to take the lock counts as a holder: the port would not open.
  // Closing the descriptor drops the lock if the check took it.
  const TResult<bool> taken = TryLockFile(fd.Get(), TLockMode::Exclusive);
  if (!taken.Ok() || !taken.Value()) {
    return path + ": in use by another program";
  }
  return {};
}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void PrepareConsole() {}

}  // namespace korvane::cli
