#include "sim/PtyDevice.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace korvane {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("cannot " + what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    Fail("read the terminal settings");
  }
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    Fail("set the terminal to raw mode");
  }
}

}  // namespace

TPtyDevice::TPtyDevice() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    Fail("open a pseudo-terminal");
  }
  try {
    char name[128] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
      Fail("prepare the pseudo-terminal");
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
      Fail("open " + slavePath_);
    }
    MakeRaw(slave_);
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
      Fail("make the pseudo-terminal non-blocking");
    }
  } catch (...) {
    Close();
    throw;
  }
}

TPtyDevice::~TPtyDevice() {
  Close();
}

void TPtyDevice::Close() {
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

}  // namespace korvane
