#pragma once

#include <string>
#include <system_error>

#include "platform/Result.h"

namespace korvane {

// The catalogue's reason for a file failure's system code (kFileReasonDenied
// ...), or kNone where the system's own words must do. One for each system.
TextId FileReasonOf(const std::error_code& code);

// Writing in place failed after the folder took no temporary file: both why.
TError InPlaceFailure(const std::string& path, std::error_code folderCode, std::error_code code);

}  // namespace korvane
