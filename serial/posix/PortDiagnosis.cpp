#include "serial/PortDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/FileLock.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

TError SystemFailure(TextId id, const std::string& path) {
  const std::error_code code = LastSystemErrorCode();
  return MakeError(id, {path, SystemErrorText(code)}, code);
}

}  // namespace

TError PermissionDenied(const std::string& path, unsigned mode, const std::string& owner,
                        const std::string& group, bool groupIsRoot) {
  char modeText[8];
  std::snprintf(modeText, sizeof modeText, "%04o", mode & 07777u);
  const bool groupMayUse = (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  const TextId id = groupMayUse && !groupIsRoot ? TextId::kPortPermissionJoinGroup
                    : groupMayUse               ? TextId::kPortPermissionOwnerAndAdmins
                                                : TextId::kPortPermissionOwnerOnly;
  return MakeError(id, {path, modeText, owner, group},
                   std::make_error_code(std::errc::permission_denied));
}

TStatus DiagnosePort(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return SystemFailure(TextId::kPortNotFound, path);
  }
  if (!S_ISCHR(info.st_mode)) {
    return MakeError(TextId::kPortNotSerial, {path});
  }
  const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    if (errno == EACCES || errno == EPERM) {
      return PermissionDenied(path, info.st_mode, UserName(info.st_uid), GroupName(info.st_gid),
                              info.st_gid == 0);
    }
    if (errno == EBUSY) {
      return MakeError(TextId::kPortInUse, {path}, LastSystemErrorCode());
    }
    return SystemFailure(TextId::kPortCannotOpen, path);
  }
  // Any failure to take the lock counts as a holder: the port would not open.
  // Closing the descriptor drops the lock if the check took it.
  const TResult<bool> taken = TryLockFile(fd.Get(), TLockMode::Exclusive);
  if (!taken.Ok() || !taken.Value()) {
    return MakeError(TextId::kPortInUse, {path});
  }
  return {};
}

}  // namespace korvane
