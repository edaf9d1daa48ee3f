#include "platform/Result.h"

#include <windows.h>

namespace korvane {

TError LastSystemError(std::string message) {
  return {std::error_code(static_cast<int>(::GetLastError()), std::system_category()),
          std::move(message)};
}

}  // namespace korvane
