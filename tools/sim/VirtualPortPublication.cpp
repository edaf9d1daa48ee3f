#include "sim/VirtualPortPublication.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/FileLock.h"
#include "serial/VirtualPorts.h"

namespace korvane {
namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultPrefix = "KSIM";

// Opens and locks `lockPath` without waiting; empty when a live process holds
// it (or it cannot be opened: the caller goes on to the next name).
UniqueFd TryLock(const std::string& lockPath) {
  UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd) {
    return fd;
  }
  const TResult<bool> taken = TryLockFile(fd.Get(), TLockMode::Exclusive);
  return taken.Ok() && taken.Value() ? std::move(fd) : UniqueFd();
}

void EnsureDirectory(const std::string& directory) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error || !fs::is_directory(directory)) {
    throw std::runtime_error("cannot create the virtual port folder " + directory + ": " +
                             (error ? error.message() : "not a folder"));
  }
}

// Publishes under `candidate`; null when a live simulator has the name.
std::unique_ptr<TVirtualPortPublication> TryName(const std::string& directory,
                                                 const std::string& candidate,
                                                 const std::string& slavePath) {
  const std::string link = directory + "/" + candidate;
  UniqueFd lock = TryLock(VirtualPortLockPath(link));
  if (!lock) {
    return nullptr;
  }
  ::unlink(link.c_str());  // stale link of a simulator that died
  if (::symlink(slavePath.c_str(), link.c_str()) != 0) {
    throw std::runtime_error("cannot publish " + link + ": " + std::strerror(errno));
  }
  return std::make_unique<TVirtualPortPublication>(candidate, link, std::move(lock));
}

}  // namespace

TVirtualPortPublication::TVirtualPortPublication(std::string name, std::string linkPath,
                                                 UniqueFd lock)
    : name_(std::move(name)), linkPath_(std::move(linkPath)), lock_(std::move(lock)) {}

TVirtualPortPublication::~TVirtualPortPublication() {
  // Both go before the lock is released, so no lister sees a half-withdrawn port.
  ::unlink(linkPath_.c_str());
  ::unlink(VirtualPortLockPath(linkPath_).c_str());
}

std::unique_ptr<TVirtualPortPublication> PublishVirtualPort(const std::string& slavePath,
                                                            const std::string& name) {
  const std::string directory = VirtualPortDirectory();
  EnsureDirectory(directory);
  if (!name.empty()) {
    if (name.find('/') != std::string::npos || IsVirtualPortLockName(name)) {
      throw std::runtime_error("invalid port name: " + name);
    }
    auto published = TryName(directory, name, slavePath);
    if (!published) {
      throw std::runtime_error("the port name " + name + " is in use by another simulator");
    }
    return published;
  }
  for (int n = 1; n < 1000; ++n) {
    if (auto published = TryName(directory, kDefaultPrefix + std::to_string(n), slavePath)) {
      return published;
    }
  }
  throw std::runtime_error("no free virtual port name in " + directory);
}

}  // namespace korvane
