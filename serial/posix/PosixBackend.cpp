#include "PosixBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "PosixPort.h"
#include "platform/FileLock.h"
#include "serial/PortClaim.h"
#include "serial/PortList.h"

namespace korvane {

TResult<std::unique_ptr<ICommPort>> TPosixBackend::Open(const std::string& commName) {
  const std::string path = DevicePathForCommName(commName);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    return LastSystemError("cannot open " + path);
  }
  if (::isatty(fd.Get()) == 0) {
    return TError{TCommErrc::NotCommDevice, path + " is not a serial device"};
  }
  // TIOCEXCL keeps other programs out but not root; the advisory lock also
  // turns away any program that locks the port as well, root included.
  const TResult<bool> locked = TryLockFile(fd.Get(), TLockMode::Exclusive);
  if (!locked) {
    return locked.Error();
  }
  if (!locked.Value()) {
    return TError{TCommErrc::PortInUse, path + " is in use by another program"};
  }
  ::ioctl(fd.Get(), TIOCEXCL);  // the lock alone keeps our own programs apart
  return std::unique_ptr<ICommPort>(std::make_unique<TPosixPort>(std::move(fd)));
}

bool IsPortClaimed(const std::string& commName) {
  const std::string path = DevicePathForCommName(commName);
  const UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    return errno == EBUSY;  // held exclusively (TIOCEXCL)
  }
  // Closing the descriptor also drops the lock if the check took it.
  const TResult<bool> taken = TryLockFile(fd.Get(), TLockMode::Exclusive);
  return taken.Ok() && !taken.Value();
}

TResult<std::unique_ptr<ICommEvent>> TPosixBackend::MakeEvent() {
  auto event = std::make_unique<TPosixEvent>();
  if (!event->Valid()) {
    return LastSystemError("cannot create an event");
  }
  return std::unique_ptr<ICommEvent>(std::move(event));
}

TResult<int> TPosixBackend::WaitEither(ICommEvent& first, ICommEvent& second) {
  pollfd fds[2] = {{static_cast<int>(first.NativeHandle()), POLLIN, 0},
                   {static_cast<int>(second.NativeHandle()), POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastSystemError("cannot wait for the events");
    }
    const int index = fds[0].revents != 0 ? 0 : 1;
    if ((fds[index].revents & POLLIN) == 0) {
      return TError{std::make_error_code(std::errc::bad_file_descriptor), "an event broke down"};
    }
    return index;
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
