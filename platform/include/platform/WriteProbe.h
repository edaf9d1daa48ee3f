#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane {

// The system's own answer to whether a new file can be made where `prefix`
// points (a folder and the start of a name): makes one under a fresh name
// that begins with `prefix`, never through a link, and removes it again.
// Fails with the system's reason (permission, read-only file system, quota).
[[nodiscard]] TStatus ProbeNewFile(const std::string& prefix);

}  // namespace korvane
