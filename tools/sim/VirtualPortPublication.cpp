#include "sim/VirtualPortPublication.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/FileLock.h"
#include "platform/SystemError.h"
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

TStatus EnsureDirectory(const std::string& directory) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error || !fs::is_directory(directory)) {
    if (!error) {
      error = std::make_error_code(std::errc::not_a_directory);
    }
    return TError(error, "cannot create the virtual port folder " + directory + ": " +
                             SystemErrorText(error));
  }
  return {};
}

using TPublished = TResult<std::unique_ptr<TVirtualPortPublication>>;

// Publishes under `candidate`; null when a live simulator has the name.
TPublished TryName(const std::string& directory, const std::string& candidate,
                   const std::string& slavePath) {
  const std::string link = directory + "/" + candidate;
  UniqueFd lock = TryLock(VirtualPortLockPath(link));
  if (!lock) {
    return std::unique_ptr<TVirtualPortPublication>();
  }
  ::unlink(link.c_str());  // stale link of a simulator that died
  if (::symlink(slavePath.c_str(), link.c_str()) != 0) {
    const std::error_code code = LastSystemErrorCode();
    return TError(code, "cannot publish " + link + ": " + SystemErrorText(code));
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

TPublished PublishVirtualPort(const std::string& slavePath, const std::string& name) {
  const std::string directory = VirtualPortDirectory();
  if (TStatus folder = EnsureDirectory(directory); !folder) {
    return folder.Error();
  }
  if (!name.empty()) {
    if (name.find('/') != std::string::npos || IsVirtualPortLockName(name)) {
      return TError(std::make_error_code(std::errc::invalid_argument),
                    "invalid port name: " + name);
    }
    TPublished published = TryName(directory, name, slavePath);
    if (published && !published.Value()) {
      return TError(std::make_error_code(std::errc::address_in_use),
                    "the port name " + name + " is in use by another simulator");
    }
    return published;
  }
  for (int n = 1; n < 1000; ++n) {
    TPublished published = TryName(directory, kDefaultPrefix + std::to_string(n), slavePath);
    if (!published || published.Value()) {
      return published;
    }
  }
  return TError(std::make_error_code(std::errc::address_in_use),
                "no free virtual port name in " + directory);
}

}  // namespace korvane
