#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Result.h"

namespace korvane::cli {

// The section of a profile that korvane-cli reads.
inline constexpr const char* kProfileSection = "korvane-cli";

// A key of the profile, its value, and where it came from ("FILE: key").
struct TProfileEntry {
  std::string Key;
  std::string Value;
  std::string Origin;
};

// The documented keys, in the order they are applied: ports, matches, baud,
// log, station, operator, batch. Keys with an empty value count as absent.
// `named` is the file of --profile (it must exist); without it the user's
// defaults, $XDG_CONFIG_HOME/korvane/cli.ini (~/.config/korvane/cli.ini), are
// read when that file exists. An error names the file and the reason.
[[nodiscard]] TResult<std::vector<TProfileEntry>> ReadProfile(const std::string& named);

// Where the user's defaults are looked for; empty when no folder is known.
std::string DefaultProfilePath();

// A list value (ports, matches): items separated by commas, blanks trimmed.
std::vector<std::string> ProfileList(const std::string& value);

}  // namespace korvane::cli
