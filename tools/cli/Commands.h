#pragma once

#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "platform/Result.h"

namespace korvane::cli {

// Exit codes of korvane-cli.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitUnexpected = 1,  // an error the program did not foresee (out of memory, ...)
  kExitUsage = 2,
  kExitFile = 3,
  kExitPort = 10,
  kExitHandshake = 11,
  kExitImageFile = 12,
  kExitBlock = 13,
  kExitOverlong = 14,
  kExitReadLength = 15,
  kExitVerify = 16,
  kExitUnrecorded = 17,       // the device part was done, its output (stdout, -o file, log) failed
  kExitLineLost = 18,         // the line went away (device unplugged) during an operation
  kExitStationFailures = 19,  // station: some units failed
  kExitSignalBase = 128,      // + the signal: 130 for SIGINT, 143 for SIGTERM
};

int RunPorts(const CliOptions& options, std::ostream& out, std::ostream& err);
int RunWrite(const CliOptions& options, std::ostream& out, std::ostream& err);
int RunRead(const CliOptions& options, std::ostream& out, std::ostream& err);
int RunImage(const CliOptions& options, std::ostream& out, std::ostream& err);
int RunVerify(const CliOptions& options, std::ostream& out, std::ostream& err);
int RunStation(const CliOptions& options, std::ostream& out, std::ostream& err);

// Flushes `out`: fails, with the system's words where it gave any, when not
// everything written to it arrived.
[[nodiscard]] TStatus FlushedWhole(std::ostream& out);

}  // namespace korvane::cli
