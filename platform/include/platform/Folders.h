#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane {

// The folder of the running program, with its trailing separator.
[[nodiscard]] TResult<std::string> ExecutableFolder();

// The per-user folder for files the programs keep between runs, with its
// trailing separator: $XDG_STATE_HOME/korvane/, else ~/.local/state/korvane/
// (an environment folder counts only when it is an absolute path);
// %LOCALAPPDATA%\korvane\ on Windows. An error when none is known.
[[nodiscard]] TResult<std::string> StateFolder();

// The per-user folder of settings the user writes, with its trailing
// separator: $XDG_CONFIG_HOME/korvane/, else ~/.config/korvane/ (absolute
// environment folders only); %APPDATA%\korvane\ on Windows.
[[nodiscard]] TResult<std::string> ConfigFolder();

}  // namespace korvane
