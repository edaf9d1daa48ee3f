#pragma once

#include <optional>
#include <string>

#include "platform/Result.h"

namespace korvane {

// Reads an image file: its bytes, nothing when the file does not exist, or why
// it cannot be read or is not 2560 bytes long. The image is saved with
// ReplaceFileBytes, so a crash leaves either the old or the new image.
[[nodiscard]] TResult<std::optional<std::string>> LoadImageFile(const std::string& path);

}  // namespace korvane
