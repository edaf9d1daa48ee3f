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

// $VARIABLE/korvane/, else ~/FALLBACK/korvane/.
TResult<std::string> UserFolder(const char* variable, const char* fallback, const char* what) {
  std::string base = AbsoluteFromEnvironment(variable);
  if (base.empty()) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) {
      return TError{std::make_error_code(std::errc::no_such_file_or_directory),
                    std::string("no ") + what + " folder: neither " + variable +
                        " nor HOME is an absolute path"};
    }
    base = home + "/" + fallback;
  }
  return base + "/korvane/";
}

}  // namespace

TResult<std::string> StateFolder() {
  return UserFolder("XDG_STATE_HOME", ".local/state", "state");
}

TResult<std::string> ConfigFolder() {
  return UserFolder("XDG_CONFIG_HOME", ".config", "settings");
}

}  // namespace korvane
