#include "platform/FileLock.h"

#include <sys/file.h>

#include <cerrno>

namespace korvane {

TResult<bool> TryLockFile(int fd, TLockMode mode) {
  const int operation = (mode == TLockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    return true;
  }
  if (errno == EWOULDBLOCK) {
    return false;
  }
  return LastSystemError("cannot lock the file");
}

}  // namespace korvane
