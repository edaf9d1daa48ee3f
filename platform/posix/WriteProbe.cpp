#include "platform/WriteProbe.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {

TStatus ProbeNewFile(const std::string& prefix) {
  std::string name = prefix + "XXXXXX";
  UniqueFd file(::mkostemp(name.data(), O_CLOEXEC));  // O_EXCL: a new file, no link followed
  if (!file) {
    return SystemFailure(LastSystemErrorCode());
  }
  file.Reset();
  ::unlink(name.c_str());
  return {};
}

}  // namespace korvane
