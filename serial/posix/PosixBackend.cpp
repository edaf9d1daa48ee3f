#include "PosixBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "PosixPort.h"
#include "serial/PortClaim.h"
#include "serial/PortList.h"

namespace korvane {

std::unique_ptr<ICommPort> TPosixBackend::Open(const std::string& commName, TOpenStatus& status) {
  status = TOpenStatus::CannotOpen;
  const std::string path = DevicePathForCommName(commName);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  if (::isatty(fd) == 0) {
    ::close(fd);
    status = TOpenStatus::NotComm;
    return nullptr;
  }
  // TIOCEXCL keeps other programs out but not root; the advisory lock also
  // turns away any program that locks the port as well, root included.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);
  status = TOpenStatus::Opened;
  return std::make_unique<TPosixPort>(fd);
}

bool IsPortClaimed(const std::string& commName) {
  const std::string path = DevicePathForCommName(commName);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == EBUSY;  // held exclusively (TIOCEXCL)
  }
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // also drops the lock if the check took it
  return locked;
}

std::unique_ptr<ICommEvent> TPosixBackend::MakeEvent() {
  auto event = std::make_unique<TPosixEvent>();
  if (!event->Valid()) {
    return nullptr;
  }
  return event;
}

int TPosixBackend::WaitEither(ICommEvent& first, ICommEvent& second) {
  pollfd fds[2] = {{static_cast<int>(first.NativeHandle()), POLLIN, 0},
                   {static_cast<int>(second.NativeHandle()), POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return -1;
    }
    if (fds[0].revents != 0) {
      return (fds[0].revents & POLLIN) != 0 ? 0 : -1;
    }
    return (fds[1].revents & POLLIN) != 0 ? 1 : -1;
  }
}

std::thread TPosixBackend::StartThread(std::function<void()> body, TThreadPriority priority) {
  return std::thread([body = std::move(body), priority] {
    RaiseThreadPriority(priority);
    body();
  });
}

ICommBackend& PlatformCommBackend() {
  static TPosixBackend backend;
  return backend;
}

}  // namespace korvane
