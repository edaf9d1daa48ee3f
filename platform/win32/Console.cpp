#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace korvane {
namespace {

constexpr int kDefaultColumns = 80;

// The C runtime's calls say why they failed in errno, not in GetLastError.
TError RuntimeFailure() {
  return SystemFailure(std::error_code(errno, std::generic_category()));
}

}  // namespace

struct TSingleKeyMode::Saved {};

bool StandardErrorIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

bool StandardOutputIsTerminal() {
  return ::_isatty(::_fileno(stdout)) != 0;
}

int TerminalColumns() {
  return kDefaultColumns;
}

void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

void SetBinaryStandardOutput() {
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

TStatus CloseStandardOutput() {
  TStatus closed;
  if (std::fflush(stdout) != 0) {
    closed = RuntimeFailure();
  }
  // Closed even after a failed flush; the flush's failure is the one to tell.
  if (::_close(::_fileno(stdout)) != 0 && closed) {
    closed = RuntimeFailure();
  }
  return closed;
}

TSingleKeyMode::TSingleKeyMode() = default;

TSingleKeyMode::~TSingleKeyMode() = default;

}  // namespace korvane
