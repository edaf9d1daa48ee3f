#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "posix/PosixBackend.h"

namespace korvane {

TPosixEvent::TPosixEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void TPosixEvent::Set() {
  set_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fd_.Get(), &one, sizeof one);
}

void TPosixEvent::Reset() {
  set_ = false;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(fd_.Get(), &count, sizeof count);
}

}  // namespace korvane
