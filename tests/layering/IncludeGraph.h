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

// True for a line that speaks to the system directly: a C or system header
// (<unistd.h>, <sys/...>, <windows.h>; the C++ library's are <cxxx>) or a
// test for Windows.
bool IsSystemCodeLine(const std::string& line);

struct TSourceLine {
  std::string File;  // relative to the source root
  std::string Text;
};

// The system code in the command-line tool's sources (tools/cli/), line by
// line. The system's facilities belong in platform/ and serial/.
std::vector<TSourceLine> SystemCodeInCli(const std::filesystem::path& root);

}  // namespace korvane::layering
