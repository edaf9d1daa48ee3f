#pragma once

#include <string>
#include <vector>

namespace korvane {

// Virtual ports published by korvane-sim. Each is a symbolic link
// <directory>/<NAME> to the pseudo-terminal's slave, beside a lock file
// <directory>/<NAME>.lock that the publishing process holds locked (flock) for
// as long as it runs; a link whose lock nobody holds is stale and is ignored.
// The directory is $XDG_RUNTIME_DIR/korvane-sim, or /tmp/korvane-sim-<uid>.

struct VirtualPort {
  std::string Name;  // e.g. "KSIM1"
  std::string Path;  // the link, which opens the slave side
};

[[nodiscard]] std::string VirtualPortDirectory();

// The lock file that keeps the link at `linkPath` alive.
[[nodiscard]] std::string VirtualPortLockPath(const std::string& linkPath);

// True for a name that cannot be a port's link: a lock file's name.
[[nodiscard]] bool IsVirtualPortLockName(const std::string& name);

// Live virtual ports, ordered by name (KSIM2 before KSIM10).
[[nodiscard]] std::vector<VirtualPort> ListVirtualPorts();

}  // namespace korvane
