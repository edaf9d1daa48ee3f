#pragma once

#include <string>
#include <string_view>

namespace korvane::cli {

// SHA-256 of `bytes` as 64 lower-case hex digits, for the results log, which
// names the exact code set file a device was programmed from.
std::string Sha256Hex(std::string_view bytes);

}  // namespace korvane::cli
