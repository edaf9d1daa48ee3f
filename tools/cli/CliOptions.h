#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane::cli {

enum class Command { Help, Ports, Write, Read, Image };

struct CliOptions {
  Command Action = Command::Help;
  std::vector<std::string> Ports;  // --port, in the order given
  std::string CodeSetFile;         // write, image: the .IOS file
  std::string Output;              // read, image: -o
  std::string ImageDirectory;      // write: --image-dir (default: beside the executable)
  int BaudIndex = 1;               // write, image: --baud-index (0-4)
  bool Verify = false;             // write: --verify
  bool HelpRequested = false;      // --help after a command
};

// Parses argv; on a usage error returns nullopt and sets `error`.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error);

// Help text of one command, or the overview for Command::Help.
std::string HelpText(Command command);

}  // namespace korvane::cli
