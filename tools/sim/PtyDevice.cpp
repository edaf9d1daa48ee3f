#include "sim/PtyDevice.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/SystemError.h"

namespace korvane {

namespace {

// The failure the last system call left, as "cannot <what>: <the system's words>".
TError Failure(const std::string& what) {
  const std::error_code code = LastSystemErrorCode();
  return TError(code, "cannot " + what + ": " + SystemErrorText(code));
}

TStatus MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    return Failure("read the terminal settings");
  }
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    return Failure("set the terminal to raw mode");
  }
  return {};
}

}  // namespace

TResult<std::unique_ptr<TPtyDevice>> TPtyDevice::Open() {
  std::unique_ptr<TPtyDevice> pty(new TPtyDevice());
  pty->master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty->master_) {
    return Failure("open a pseudo-terminal");
  }
  const int master = pty->master_.Get();
  char name[128] = {};
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    return Failure("prepare the pseudo-terminal");
  }
  pty->slavePath_ = name;
  pty->slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty->slave_) {
    return Failure("open " + pty->slavePath_);
  }
  if (TStatus raw = MakeRaw(pty->slave_.Get()); !raw) {
    return raw.Error();
  }
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
    return Failure("make the pseudo-terminal non-blocking");
  }
  return pty;
}

void TPtyDevice::Close() {
  slave_.Reset();
  master_.Reset();
}

}  // namespace korvane
