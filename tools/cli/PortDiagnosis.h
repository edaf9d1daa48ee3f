#pragma once

#include <string>

namespace korvane::cli {

// Explains why the device at `path` cannot be opened for reading and writing:
// absent, not a serial device, no permission (naming the owning group), or in
// use by another program. Empty when no cause is found.
std::string DiagnosePortProblem(const std::string& path);

// True when standard error is a terminal (progress is drawn only there).
bool StandardErrorIsTerminal();

// Makes the console show the tool's UTF-8 texts (Windows); nothing elsewhere.
void PrepareConsole();

}  // namespace korvane::cli
