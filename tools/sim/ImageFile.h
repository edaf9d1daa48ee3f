#pragma once

#include <optional>
#include <string>

namespace korvane {

// Reads an image file; nullopt when the file does not exist. Throws
// std::runtime_error when it cannot be read or is not 2560 bytes long.
std::optional<std::string> LoadImageFile(const std::string& path);

// Replaces the file atomically: a temporary file in the same folder is
// written, flushed to disk and renamed over it, so a crash leaves either the
// old or the new image. Throws std::runtime_error with the reason.
void SaveImageFile(const std::string& path, const std::string& image);

}  // namespace korvane
