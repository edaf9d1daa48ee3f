#include "platform/Console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

constexpr int kDefaultColumns = 80;

}  // namespace

struct TSingleKeyMode::Saved {
  termios Mode{};
};

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool StandardOutputIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return kDefaultColumns;
}

void PrepareConsole() {}

void SetBinaryStandardOutput() {}

TStatus CloseStandardOutput() {
  TStatus closed;
  if (std::fflush(stdout) != 0) {
    closed = SystemFailure(LastSystemErrorCode());
  }
  // Closed even after a failed flush; the flush's failure is the one to tell.
  if (!TFdTraits::Close(STDOUT_FILENO) && closed) {
    closed = SystemFailure(LastSystemErrorCode());
  }
  return closed;
}

TSingleKeyMode::TSingleKeyMode() {
  termios mode{};
  if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &mode) != 0) {
    return;
  }
  auto saved = std::make_unique<Saved>(Saved{mode});
  mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0) {
    saved_ = std::move(saved);
  }
}

TSingleKeyMode::~TSingleKeyMode() {
  if (saved_) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->Mode);
  }
}

}  // namespace korvane
