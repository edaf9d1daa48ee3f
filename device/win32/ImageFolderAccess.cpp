#include <windows.h>

#include <string>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
// The old image file, if any, is opened for writing as it is, and a reparse
// point at its name is refused; a missing one is tried with a new file of
// another name beside it, so that nothing is created by the image's name.
TStatus ImageFileProblem(const std::string& path) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  DWORD cause = ::GetLastError();
  if (file.Valid()) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return TError{std::make_error_code(std::errc::invalid_argument),
                    path + " is a link (reparse point), which is never followed"};
    }
    return {};
  }
  if (cause == ERROR_FILE_NOT_FOUND) {
    const std::string probe = path + ".probe";
    UniqueHandle made(::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (made.Valid()) {
      return {};
    }
    cause = ::GetLastError();
  }
  const std::error_code code(static_cast<int>(cause), std::system_category());
  return TError{code, SystemErrorText(code)};
}

}  // namespace korvane
