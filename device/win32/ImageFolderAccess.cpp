#include <windows.h>

#include <string>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"
#include "platform/WriteProbe.h"

namespace korvane {

// The old image file, if any, is opened for writing as it is, and a reparse
// point at its name is refused; without one, the folder's answer to a new
// file of another name beside it counts, so nothing is made by the image's name.
TStatus ImageFileProblem(const std::string& path) {
  const UniqueHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  const std::error_code cause = LastSystemErrorCode();
  if (file.Valid()) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return MakeError(TextId::kImageCannotOpen, {path, TextArg(TextId::kImageReparsePoint)},
                       std::make_error_code(std::errc::invalid_argument));
    }
    return {};
  }
  if (cause.value() == ERROR_FILE_NOT_FOUND) {
    return ProbeNewFile(path + ".");
  }
  return SystemFailure(cause);
}

}  // namespace korvane
