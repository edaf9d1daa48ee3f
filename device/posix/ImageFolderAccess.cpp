#include <fcntl.h>

#include <cerrno>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"
#include "platform/WriteProbe.h"

namespace korvane {

// The old image file, if any, is opened for writing as it is: nothing is
// created by its name, and a link at it is refused, never followed. Without
// one, the folder's answer to a new file beside it counts.
TStatus ImageFileProblem(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.Valid()) {
    return {};
  }
  const std::error_code cause = LastSystemErrorCode();
  if (cause.value() == ELOOP) {
    return MakeError(TextId::kImageCannotOpen, {path, TextArg(TextId::kImageSymlink)}, cause);
  }
  TStatus folder = ProbeNewFile(path + ".");
  if (folder.Ok() || cause.value() == ENOENT) {
    return folder;
  }
  return SystemFailure(cause);
}

}  // namespace korvane
