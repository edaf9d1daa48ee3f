#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::layering {

// The include edges the libraries may have. A library is the top folder of a
// file ("ui/MainForm.cpp" is in ui); headers inside platform folders (posix/,
// win32/, linux/) are private to their own library.
bool IsAllowedInclude(const std::string& fromFile, const std::string& included);

struct TIncludeEdge {
  std::string From;      // file, relative to the source root
  std::string Included;  // as written between the quotes
};

// Every quoted include of the libraries' sources under `root` that the rules
// forbid.
std::vector<TIncludeEdge> ForbiddenIncludes(const std::filesystem::path& root);

}  // namespace korvane::layering
