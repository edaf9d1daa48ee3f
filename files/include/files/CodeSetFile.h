#pragma once

#include <string>

#include "files/FileError.h"
#include "model/CodeTable.h"
#include "platform/Result.h"

namespace korvane {

// Extension of code set files, without the dot.
inline constexpr const char* kCodeSetExtension = "IOS";

// Writes the 32 codes into sections "Button1".."Button4", keys
// "ButtonDownSend1".."ButtonDownSend4" then "ButtonUpSend1".."ButtonUpSend4",
// keeping every other section, key, comment and blank line of an existing
// file. All or nothing (but see ReplaceFileBytes for a folder we may not write
// in): on failure the file is as it was and the result says why (in English;
// `failure`, when given, gets the details for texts in other languages). A
// code holding a line break cannot be saved.
[[nodiscard]] TStatus SaveCodeSet(const CodeTable& table, const std::string& path,
                                  FileError* failure = nullptr);

// Replaces all 32 codes from the file: absent keys, sections or file give empty
// codes; values longer than 2047 characters are cut. A file that exists but
// cannot be read leaves the table untouched and fails.
[[nodiscard]] TStatus LoadCodeSet(CodeTable& table, const std::string& path,
                                  FileError* failure = nullptr);

// The text of a new code set file holding the table (CRLF line ends).
std::string CodeSetText(const CodeTable& table);

// The name with ".IOS" appended when its last path component has no dot.
std::string WithDefaultExtension(const std::string& name);

}  // namespace korvane
