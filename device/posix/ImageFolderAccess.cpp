#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "device/ImageFolder.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

// 0 when a new file can be made beside `path`, else the system's reason.
int FolderRefusal(const std::string& path) {
  std::string probe = path + ".XXXXXX";
  UniqueFd file(::mkstemp(probe.data()));
  if (!file.Valid()) {
    return errno;
  }
  file.Reset();
  ::unlink(probe.c_str());
  return 0;
}

}  // namespace

// The old image file, if any, is opened for writing as it is: nothing is
// created by its name, and a link at it is refused, never followed.
TStatus ImageFileProblem(const std::string& path) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.Valid()) {
    return {};
  }
  int cause = errno;
  if (cause == ELOOP) {
    return TError{std::error_code(cause, std::generic_category()),
                  path + " is a symbolic link, which is never followed"};
  }
  const int refusal = FolderRefusal(path);
  if (refusal == 0) {
    return {};
  }
  cause = cause == ENOENT ? refusal : cause;  // no old file: the folder's answer counts
  const std::error_code code(cause, std::generic_category());
  return TError{code, SystemErrorText(code)};
}

}  // namespace korvane
