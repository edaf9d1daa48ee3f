#pragma once

namespace korvane {

// True when standard error is a terminal (progress is drawn only there).
[[nodiscard]] bool StandardErrorIsTerminal();

// Makes the console show the tools' UTF-8 texts (Windows); nothing elsewhere.
void PrepareConsole();

}  // namespace korvane
