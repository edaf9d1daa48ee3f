#include <cstdlib>
#include <system_error>

#include "platform/Folders.h"

namespace korvane {
namespace {

// An environment folder counts only when it is an absolute path.
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

TResult<std::string> StateFolder() {
  std::string base = AbsoluteFromEnvironment("XDG_STATE_HOME");
  if (base.empty()) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) {
      return TError{std::make_error_code(std::errc::no_such_file_or_directory),
                    "no state folder: neither XDG_STATE_HOME nor HOME is an absolute path"};
    }
    base = home + "/.local/state";
  }
  return base + "/korvane/";
}

}  // namespace korvane
