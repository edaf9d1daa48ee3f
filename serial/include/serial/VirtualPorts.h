#pragma once

#include <memory>
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

std::string VirtualPortDirectory();

// Live virtual ports, ordered by name (KSIM2 before KSIM10).
std::vector<VirtualPort> ListVirtualPorts();

// A published port; withdrawing it (destruction) removes the link and the lock.
class TVirtualPortPublication {
 public:
  TVirtualPortPublication(std::string name, std::string linkPath, std::string lockPath, int lockFd);
  ~TVirtualPortPublication();
  TVirtualPortPublication(const TVirtualPortPublication&) = delete;
  TVirtualPortPublication& operator=(const TVirtualPortPublication&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& LinkPath() const { return linkPath_; }

 private:
  std::string name_;
  std::string linkPath_;
  std::string lockPath_;
  int lockFd_;
};

// Publishes `slavePath` under `name`, or under the first free KSIM<n> when
// `name` is empty. Throws std::runtime_error with a readable message when the
// name is taken by a live simulator or the directory cannot be used.
std::unique_ptr<TVirtualPortPublication> PublishVirtualPort(const std::string& slavePath,
                                                            const std::string& name = {});

}  // namespace korvane
