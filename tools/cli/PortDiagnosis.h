#pragma once

#include <string>

namespace korvane::cli {

// Explains why the device at `path` cannot be opened for reading and writing:
// absent, not a serial device, no permission (naming the owning group), or in
// use by another program. Empty when no cause is found.
std::string DiagnosePortProblem(const std::string& path);

// Why permission was denied and what to do, from the device's mode bits:
// joining its group is suggested only where the group bits grant read and
// write, and never the administrators' group.
std::string PermissionDeniedText(const std::string& path, unsigned mode, const std::string& owner,
                                 const std::string& group, bool groupIsRoot);

// True when standard error is a terminal (progress is drawn only there).
bool StandardErrorIsTerminal();

// Makes the console show the tool's UTF-8 texts (Windows); nothing elsewhere.
void PrepareConsole();

}  // namespace korvane::cli
