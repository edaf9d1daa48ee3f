#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane {

// The file an installer puts beside the programs: that folder is the
// installer's, and an uninstall leaves nothing behind in it.
inline constexpr const char* kInstalledMarker = "korvane-installed.txt";

// Where the editor keeps its image file, with its trailing separator: the
// program's folder (ExecutableFolder) when an image file can be made there and
// no installer put the programs there (a portable copy keeps it beside its
// files), else the per-user state folder (StateFolder), created as needed.
// Without a state folder the program's folder stays, and its failure is
// reported when the image is built; without the program's folder the working
// folder stands in for it and is checked the same way.
std::string ImageDirectoryFor(const TResult<std::string>& programFolder,
                              const TResult<std::string>& stateFolder);

// ImageDirectoryFor this program's folder and the user's state folder.
std::string ImageDirectory();

// Succeeds when an image file at `path` can be written: an old file there can
// be opened for writing, or a new file can be made beside it (programming
// deletes the old one first). Nothing is created by the image file's name,
// and a link (on Windows a reparse point) at it is refused, never followed.
// Else the system's text for why not.
[[nodiscard]] TStatus ImageFileProblem(const std::string& path);

}  // namespace korvane
