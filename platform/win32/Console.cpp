#include "platform/Console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace korvane {

bool StandardErrorIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace korvane
