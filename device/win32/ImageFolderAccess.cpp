#include <windows.h>

#include <string>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

// The system's text for an error code, without the trailing line break.
std::string SystemText(DWORD error) {
  char text[512];
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
}

}  // namespace

TStatus ImageFileProblem(const std::string& path) {
  const bool existed = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD cause = ::GetLastError();
    return TError{std::error_code(static_cast<int>(cause), std::system_category()),
                  SystemText(cause)};
  }
  file.Reset();
  if (!existed) {
    ::DeleteFileA(path.c_str());
  }
  return {};
}

}  // namespace korvane
