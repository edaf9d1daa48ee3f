#include "serial/PortDiagnosis.h"

#include "WinApi.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"
#include "serial/PortClaim.h"

namespace korvane {

TStatus DiagnosePort(const std::string& path) {
  if (IsPortClaimed(path)) {
    return MakeError(TextId::kPortInUse, {path});
  }
  const UniqueHandle handle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (handle) {
    if (::GetFileType(handle.Get()) != FILE_TYPE_CHAR) {
      return MakeError(TextId::kPortNotSerial, {path});
    }
    return {};
  }
  const std::error_code code = LastSystemErrorCode();
  switch (code.value()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return MakeError(TextId::kPortNotFound, {path, SystemErrorText(code)}, code);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return MakeError(TextId::kPortInUse, {path}, code);
    default:
      return MakeError(TextId::kPortCannotOpen, {path, SystemErrorText(code)}, code);
  }
}

}  // namespace korvane
