#include "cli/PortDiagnosis.h"

#include "platform/UniqueHandle.h"
#include "serial/PortClaim.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace korvane::cli {

std::string DiagnosePortProblem(const std::string& path) {
  if (IsPortClaimed(path)) {
    return path + ": in use by another program";
  }
  const UniqueHandle handle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (handle) {
    return ::GetFileType(handle.Get()) == FILE_TYPE_CHAR ? "" : path + ": not a serial device";
  }
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return path + ": no such serial port";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return path + ": in use by another program";
    default:
      return path + ": cannot be opened (error " + std::to_string(error) + ")";
  }
}

bool StandardErrorIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace korvane::cli
