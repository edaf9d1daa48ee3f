#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/Console.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

bool Put(int target, const char* path) {
  const UniqueFd file(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
  return file && ::dup2(file.Get(), target) == target;
}

// A new pseudo-terminal on `target`; its other end stays open as long as the
// process.
bool PutTerminal(int target) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  return master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
         Put(target, ::ptsname(master));
}

// No line editing and no echo while the owner lives; the terminal's own mode
// once it is gone.
bool SingleKeysAndBack() {
  termios before{};
  termios during{};
  termios after{};
  if (!PutTerminal(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &before) != 0) {
    return false;
  }
  {
    const TSingleKeyMode mode;
    if (!mode.Active() || ::tcgetattr(STDIN_FILENO, &during) != 0 ||
        (during.c_lflag & (ICANON | ECHO)) != 0 || during.c_cc[VMIN] != 1) {
      return false;
    }
  }
  return (before.c_lflag & ECHO) != 0 && ::tcgetattr(STDIN_FILENO, &after) == 0 &&
         after.c_lflag == before.c_lflag;
}

// Single keys and the last close of standard output, each case in a child
// process.
TEST(ConsoleDeathTest, SingleKeysAndTheLastCloseOfStandardOutput) {
  const std::pair<const char*, std::function<bool()>> cases[] = {
      {"single keys", SingleKeysAndBack},
      {"a full disk behind standard output",
       [] {
         const bool written = Put(STDOUT_FILENO, "/dev/full") && std::fputs("x", stdout) >= 0;
         const TStatus closed = CloseStandardOutput();
         return written && !closed && closed.Error().Code == std::errc::no_space_on_device;
       }},
  };
  for (const auto& [what, holds] : cases) {
    EXPECT_EXIT(std::_Exit(holds() ? 0 : 1), ::testing::ExitedWithCode(0), "") << what;
  }
}

}  // namespace
}  // namespace korvane
