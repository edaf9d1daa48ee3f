#include "serial/VirtualPorts.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/FileLock.h"
#include "platform/UniqueHandle.h"
#include "serial/PortList.h"

namespace korvane {
namespace fs = std::filesystem;

namespace {

constexpr const char* kLockSuffix = ".lock";

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool HeldByLiveProcess(const std::string& lockPath) {
  const UniqueFd fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    return false;
  }
  const TResult<bool> taken = TryLockFile(fd.Get(), TLockMode::Shared);
  return taken.Ok() && !taken.Value();
}

}  // namespace

std::string VirtualPortDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/korvane-sim";
  }
  return "/tmp/korvane-sim-" + std::to_string(::getuid());
}

std::string VirtualPortLockPath(const std::string& linkPath) {
  return linkPath + kLockSuffix;
}

bool IsVirtualPortLockName(const std::string& name) {
  return EndsWith(name, kLockSuffix);
}

std::vector<VirtualPort> ListVirtualPorts() {
  std::vector<VirtualPort> ports;
  const std::string directory = VirtualPortDirectory();
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (IsVirtualPortLockName(name) || !it->is_symlink(error)) {
      continue;
    }
    const std::string link = it->path().string();
    if (!HeldByLiveProcess(VirtualPortLockPath(link)) || !fs::exists(link, error)) {
      continue;
    }
    ports.push_back({name, link});
  }
  std::sort(ports.begin(), ports.end(),
            [](const VirtualPort& a, const VirtualPort& b) { return NaturalLess(a.Name, b.Name); });
  return ports;
}

}  // namespace korvane
