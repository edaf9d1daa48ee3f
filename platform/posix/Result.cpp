#include "platform/Result.h"

#include <cerrno>

namespace korvane {

TError LastSystemError(std::string message) {
  return {std::error_code(errno, std::generic_category()), std::move(message)};
}

}  // namespace korvane
