#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "posix/PosixBackend.h"

namespace korvane {

TPosixEvent::TPosixEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPosixEvent::~TPosixEvent() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void TPosixEvent::Set() {
  set_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void TPosixEvent::Reset() {
  set_ = false;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(fd_, &count, sizeof count);
}

}  // namespace korvane
