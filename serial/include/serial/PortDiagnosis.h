#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane {

// Why the device at `path` cannot be opened for reading and writing: absent,
// not a serial device, no permission (naming the owning group), or in use by
// another program. Succeeds when no cause is found.
[[nodiscard]] TStatus DiagnosePort(const std::string& path);

// POSIX: why permission was denied and what to do, from the device's mode
// bits: joining its group is suggested only where the group bits grant read
// and write, and never the administrators' group.
[[nodiscard]] TError PermissionDenied(const std::string& path, unsigned mode,
                                      const std::string& owner, const std::string& group,
                                      bool groupIsRoot);

}  // namespace korvane
