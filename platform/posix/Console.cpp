#include "platform/Console.h"

#include <unistd.h>

namespace korvane {

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void PrepareConsole() {}

}  // namespace korvane
