#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace korvane {

// The failures of the image file access that are not the system's.

// A write that the image does not take (see FitsImage).
TError NoImageWrite(std::string_view bytes, std::uint32_t offset);
// A block number outside the image.
TError NoImageBlock(int block);
// A file that ends within `block`.
TError ShortImageBlock(const std::string& path, int block);

}  // namespace korvane
