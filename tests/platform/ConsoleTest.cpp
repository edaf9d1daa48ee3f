#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
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

// Puts a new pseudo-terminal, `columns` wide, on the standard descriptor
// `target`; with a negative width, the file `path` instead.
bool Attach(int target, int columns, const char* path = "/dev/null") {
  if (columns < 0) {
    const UniqueFd file(::open(path, O_RDWR | O_CLOEXEC));
    return file && ::dup2(file.Get(), target) == target;
  }
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
    return false;
  }
  const UniqueFd slave(::open(::ptsname(master.Get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  if (!slave || ::ioctl(slave.Get(), TIOCSWINSZ, &size) != 0) {
    return false;
  }
  static_cast<void>(master.Release());  // the terminal lives as long as the child
  return ::dup2(slave.Get(), target) == target;
}

// Single keys on a terminal: no line editing, no echo, a key at a time; the
// terminal's own mode is back when the owner goes.
bool SingleKeysAndBack() {
  termios before{};
  termios during{};
  termios after{};
  bool switched = false;
  if (!Attach(STDIN_FILENO, 80) || ::tcgetattr(STDIN_FILENO, &before) != 0) {
    return false;
  }
  {
    const TSingleKeyMode mode;
    switched = mode.Active() && ::tcgetattr(STDIN_FILENO, &during) == 0 &&
               (during.c_lflag & (ICANON | ECHO)) == 0 && during.c_cc[VMIN] == 1;
  }
  return switched && (before.c_lflag & ECHO) != 0 && ::tcgetattr(STDIN_FILENO, &after) == 0 &&
         after.c_lflag == before.c_lflag;
}

// What the console facilities tell and do for terminals and for files on the
// standard descriptors, each case in a child process of its own.
TEST(ConsoleDeathTest, TerminalsAndFilesOnTheStandardDescriptors) {
  const std::pair<const char*, std::function<bool()>> cases[] = {
      {"terminals told, with their width",
       [] {
         return Attach(STDOUT_FILENO, 132) && Attach(STDERR_FILENO, 132) &&
                StandardOutputIsTerminal() && StandardErrorIsTerminal() && TerminalColumns() == 132;
       }},
      {"files are no terminals",
       [] {
         return Attach(STDOUT_FILENO, -1) && Attach(STDERR_FILENO, -1) &&
                !StandardOutputIsTerminal() && !StandardErrorIsTerminal() &&
                TerminalColumns() == 80;
       }},
      {"single keys on a terminal", SingleKeysAndBack},
      {"single keys leave a file alone",
       [] { return Attach(STDIN_FILENO, -1) && !TSingleKeyMode().Active(); }},
      {"standard output closed",
       [] {
         const bool closed = Attach(STDOUT_FILENO, -1) && std::fputs("x", stdout) >= 0 &&
                             CloseStandardOutput().Ok();
         return closed && ::fcntl(STDOUT_FILENO, F_GETFD) == -1;
       }},
      {"a full disk on closing standard output",
       [] {
         if (!Attach(STDOUT_FILENO, -1, "/dev/full") || std::fputs("x", stdout) < 0) {
           return false;
         }
         const TStatus closed = CloseStandardOutput();
         return !closed && closed.Error().Code == std::errc::no_space_on_device;
       }},
  };
  for (const auto& [what, holds] : cases) {
    EXPECT_EXIT(std::_Exit(holds() ? 0 : 1), ::testing::ExitedWithCode(0), "") << what;
  }
}

}  // namespace
}  // namespace korvane
