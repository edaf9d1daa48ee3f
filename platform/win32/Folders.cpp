#include "platform/Folders.h"

#include <windows.h>

#include <cstdlib>
#include <system_error>

namespace korvane {

TResult<std::string> ExecutableFolder() {
  char path[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0) {
    return LastSystemError("cannot find the program's folder");
  }
  if (length >= sizeof path) {
    return TError{std::make_error_code(std::errc::filename_too_long),
                  "cannot find the program's folder: its path is too long"};
  }
  const std::string program(path, length);
  const std::size_t slash = program.find_last_of("\\/");
  if (slash == std::string::npos) {
    return TError{std::make_error_code(std::errc::no_such_file_or_directory),
                  "cannot find the program's folder: its path names none"};
  }
  return program.substr(0, slash + 1);
}

TResult<std::string> StateFolder() {
  const char* base = std::getenv("LOCALAPPDATA");
  if (!base || base[0] == '\0') {
    return TError{std::make_error_code(std::errc::no_such_file_or_directory),
                  "no state folder: LOCALAPPDATA is not set"};
  }
  return std::string(base) + "\\korvane\\";
}

TResult<std::string> ConfigFolder() {
  const char* base = std::getenv("APPDATA");
  if (!base || base[0] == '\0') {
    return TError{std::make_error_code(std::errc::no_such_file_or_directory),
                  "no settings folder: APPDATA is not set"};
  }
  return std::string(base) + "\\korvane\\";
}

}  // namespace korvane
