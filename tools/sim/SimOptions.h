#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "sim/DeviceModel.h"

namespace korvane {

// Command line of korvane-sim.
struct SimOptions {
  DeviceOptions Device;
  std::string Name;                        // published port name; empty: first free KSIM<n>
  std::string ImagePath;                   // image file; empty: the image lives in memory only
  bool Pacing = true;                      // 9600-baud line timing in both directions
  bool Stall = false;                      // never read the line, so the tool's writes back up
  std::optional<std::uint64_t> DropAfter;  // hang up after this many received bytes
  std::chrono::milliseconds ReplyDelay{0};
  bool Verbose = false;
  bool Help = false;
  bool Version = false;
};

// Parses the arguments after the program name; a failure's message names the
// offending argument.
[[nodiscard]] TResult<SimOptions> ParseSimOptions(const std::vector<std::string>& args);

std::string SimUsage();

}  // namespace korvane
