#pragma once

#include <string>
#include <vector>

#include "cli/PortIdentity.h"

namespace korvane::cli {

// What a --port argument names.
struct PortTarget {
  std::string Label;      // as the operator wrote it
  std::string CommName;   // what the port component opens
  PortIdentity Identity;  // Path: the device behind it
};

struct PortSelection {
  std::vector<PortTarget> Targets;
  std::string Error;  // empty when every argument named one distinct port
  int Exit = 0;       // 10 for a port that cannot be chosen, 2 for a duplicate
};

// Resolves each argument against the listed ports: a listed name, a device
// path (a by-id or by-path link included), or a filter `serial=S`,
// `vid:pid=V:P` or `path=LOCATION` (the USB bus path such as 1-2.3) that must
// match exactly one listed port. Two arguments naming one device are
// refused.
PortSelection SelectPorts(const std::vector<std::string>& arguments,
                          const std::vector<PortIdentity>& listed);

// True when the listed `port` is what a --port argument names: the port's
// name, its device path (links followed), or a filter it matches.
bool PortArgumentMatches(const std::string& argument, const PortIdentity& port);

}  // namespace korvane::cli
