#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane {

// The per-user folder for files the programs keep between runs, with its
// trailing separator: $XDG_STATE_HOME/korvane/ (else ~/.local/state/korvane/)
// on Linux, %LOCALAPPDATA%\korvane\ on Windows. Empty when none is known.
std::string UserStateDirectory();

// The file an installer puts beside the programs: that folder is the
// installer's, and an uninstall leaves nothing behind in it.
inline constexpr const char* kInstalledMarker = "korvane-installed.txt";

// Where the editor keeps its image file: `programDirectory` when an image file
// can be made there and no installer put the programs there (a portable copy
// keeps it beside its files), else `stateDirectory`, created as needed. An
// empty `stateDirectory` keeps the program's folder, whose failure is then
// reported when the image is built.
std::string ImageDirectoryFor(const std::string& programDirectory,
                              const std::string& stateDirectory);

// Succeeds when an image file at `path` can be written: an old file there can
// be opened for writing, or a new file can be made beside it (programming
// deletes the old one first). Nothing is created by the image file's name,
// and a link (on Windows a reparse point) at it is refused, never followed.
// Else the system's text for why not.
[[nodiscard]] TStatus ImageFileProblem(const std::string& path);

}  // namespace korvane
