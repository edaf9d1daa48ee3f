#include "platform/SystemError.h"

#include <locale.h>
#include <string.h>

#include <cerrno>

namespace korvane {

std::error_code LastSystemErrorCode() {
  return {errno, std::generic_category()};
}

std::string SystemErrorText(const std::error_code& code) {
  if (code.category() != std::generic_category() && code.category() != std::system_category()) {
    return code.message();
  }
  static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (english == static_cast<locale_t>(0)) {
    return "error " + std::to_string(code.value());
  }
  return ::strerror_l(code.value(), english);
}

}  // namespace korvane
