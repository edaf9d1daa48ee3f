#include "cli/StationTerminal.h"

#include <cstdio>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace korvane::cli {

struct TKeyReader::Shared {
  std::mutex Lock;
  std::string Pressed;
};

struct TKeyReader::SavedMode {
#ifndef _WIN32
  termios Mode{};
#endif
};

int TerminalColumns() {
#ifndef _WIN32
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
#endif
  return 80;
}

bool StandardOutputIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return ::isatty(STDOUT_FILENO) == 1;
#endif
}

TKeyReader::TKeyReader() : shared_(std::make_shared<Shared>()) {}

TKeyReader::~TKeyReader() {
#ifndef _WIN32
  if (saved_) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->Mode);
  }
#endif
}

void TKeyReader::Start(bool singleKeys) {
#ifndef _WIN32
  termios mode{};
  if (singleKeys && ::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &mode) == 0) {
    saved_ = std::make_unique<SavedMode>(SavedMode{mode});
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
  }
#else
  (void)singleKeys;
#endif
  // Detached: a read of stdin cannot be cut short; the shared state outlives it.
  std::thread([shared = shared_] {
    for (int key = std::getchar(); key != EOF; key = std::getchar()) {
      std::lock_guard guard(shared->Lock);
      shared->Pressed.push_back(static_cast<char>(key));
    }
  }).detach();
}

std::string TKeyReader::Take() {
  std::lock_guard guard(shared_->Lock);
  std::string keys;
  keys.swap(shared_->Pressed);
  return keys;
}

}  // namespace korvane::cli
