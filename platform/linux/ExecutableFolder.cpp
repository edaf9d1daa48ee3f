#include <filesystem>
#include <system_error>

#include "platform/Folders.h"

namespace korvane {

TResult<std::string> ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return TError{error, "cannot find the program's folder: /proc/self/exe cannot be read"};
  }
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') {
    folder.push_back('/');
  }
  return folder;
}

}  // namespace korvane
