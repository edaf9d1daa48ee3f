#pragma once

#include <string>
#include <system_error>

namespace korvane {

// The failure the last system call left in errno (GetLastError on Windows).
std::error_code LastSystemErrorCode();

// The system's words for `code`, in English whatever the program's locale
// (the only place that asks the system for them).
std::string SystemErrorText(const std::error_code& code);

}  // namespace korvane
