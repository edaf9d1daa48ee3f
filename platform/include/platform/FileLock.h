#pragma once

#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {

enum class TLockMode { Shared, Exclusive };

// Takes an advisory lock on an open file without waiting: true when taken,
// false when another holder has it, an error when the lock cannot be asked
// for. The lock goes with the last handle to the open file.
#ifdef _WIN32
TResult<bool> TryLockFile(void* handle, TLockMode mode);
#else
TResult<bool> TryLockFile(int fd, TLockMode mode);
#endif

}  // namespace korvane
