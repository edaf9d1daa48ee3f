#include "platform/SystemError.h"

#include <windows.h>

namespace korvane {

std::error_code LastSystemErrorCode() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

std::string SystemErrorText(const std::error_code& code) {
  if (code.category() != std::system_category()) {
    return code.message();
  }
  char text[512];
  for (DWORD language :
       {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), static_cast<DWORD>(0)}) {
    DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code.value()), language, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
      --length;
    }
    if (length > 0) {
      return std::string(text, length);
    }
  }
  return "error " + std::to_string(code.value());
}

}  // namespace korvane
