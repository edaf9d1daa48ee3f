#pragma once

#include <string>
#include <vector>

#include "cli/PortIdentity.h"
#include "platform/Result.h"

namespace korvane::cli {

// What a --port argument names.
struct PortTarget {
  std::string Label;      // as the operator wrote it
  std::string CommName;   // what the port component opens
  PortIdentity Identity;  // Path: the device behind it
};

// The ports of one run, one distinct port per --port argument.
struct PortSelection {
  std::vector<PortTarget> Targets;
};

// Resolves each argument against the listed ports: a listed name, a device
// path (a by-id or by-path link included), or a filter `serial=S`,
// `vid:pid=V:P` or `path=LOCATION` (the USB bus path such as 1-2.3) that must
// match exactly one listed port. Two arguments naming one device are
// refused (TextId::kCliPortsSameDevice); a filter that matches no port or
// several fails with the ports there are.
[[nodiscard]] TResult<PortSelection> SelectPorts(const std::vector<std::string>& arguments,
                                                 const std::vector<PortIdentity>& listed);

// The exit code of a refused selection: a port that cannot be chosen is the
// port's failure (10), two arguments naming one device a usage error (2).
int SelectionExit(const TError& error);

// True when the listed `port` is what a --port argument names: the port's
// name, its device path (links followed), or a filter it matches.
bool PortArgumentMatches(const std::string& argument, const PortIdentity& port);

}  // namespace korvane::cli
