#include "platform/WriteProbe.h"

#include <windows.h>

#include <random>

#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {

TStatus ProbeNewFile(const std::string& prefix) {
  std::random_device random;
  std::error_code code;
  // A name already taken is tried again under another; the file goes when closed.
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string name = prefix + std::to_string(random());
    const UniqueHandle file(::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                          nullptr));
    if (file) {
      return {};
    }
    code = LastSystemErrorCode();
    if (code.value() != ERROR_FILE_EXISTS) {
      break;
    }
  }
  return SystemFailure(code);
}

}  // namespace korvane
