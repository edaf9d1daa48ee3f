#pragma once

#include <string>

#include "model/CodeTable.h"
#include "platform/Result.h"

namespace korvane {

// Extension of code set files, without the dot.
inline constexpr const char* kCodeSetExtension = "IOS";

// Writes the 32 codes into sections "Button1".."Button4", keys
// "ButtonDownSend1".."ButtonDownSend4" then "ButtonUpSend1".."ButtonUpSend4",
// keeping every other section, key, comment and blank line of an existing
// file. All or nothing (but see ReplaceFileBytes for a folder we may not write
// in): on failure the file is as it was and the result says why. A code
// holding a line break cannot be saved.
[[nodiscard]] TStatus SaveCodeSet(const CodeTable& table, const std::string& path);

// Replaces all 32 codes from the file: absent keys, sections or file give empty
// codes; values longer than 2047 characters are cut. A file that exists but
// cannot be read leaves the table untouched and fails.
[[nodiscard]] TStatus LoadCodeSet(CodeTable& table, const std::string& path);

// Why a code set file that must exist cannot be read when there is none.
TError MissingCodeSetError(const std::string& path);

// The text of a new code set file holding the table (CRLF line ends).
std::string CodeSetText(const CodeTable& table);

// The name with ".IOS" appended when its last path component has no dot.
std::string WithDefaultExtension(const std::string& name);

}  // namespace korvane
