#include "platform/FileLock.h"

#include <windows.h>

namespace korvane {

TResult<bool> TryLockFile(void* handle, TLockMode mode) {
  OVERLAPPED whole{};
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
  if (mode == TLockMode::Exclusive) {
    flags |= LOCKFILE_EXCLUSIVE_LOCK;
  }
  if (::LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) {
    return true;
  }
  if (::GetLastError() == ERROR_LOCK_VIOLATION) {
    return false;
  }
  return LastSystemError("cannot lock the file");
}

}  // namespace korvane
