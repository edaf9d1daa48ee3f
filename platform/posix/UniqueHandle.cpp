#include "platform/UniqueHandle.h"

#include <unistd.h>

#include <cerrno>

namespace korvane {

bool TFdTraits::Close(int fd) {
  // After EINTR the descriptor is gone on Linux: closing again could close
  // another thread's new one.
  return ::close(fd) == 0 || errno == EINTR;
}

}  // namespace korvane
