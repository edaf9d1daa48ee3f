#include "serial/VirtualPorts.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace korvane {
namespace fs = std::filesystem;

namespace {

constexpr const char* kLockSuffix = ".lock";
constexpr const char* kDefaultPrefix = "KSIM";

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Opens and locks `lockPath` without waiting; -1 when a live process holds it.
int TryLock(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool HeldByLiveProcess(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

// Natural order: common prefix, then the trailing number by value.
bool NameLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) {
      --i;
    }
    const std::string digits = s.substr(i);
    return std::pair(s.substr(0, i),
                     digits.empty() ? -1L : std::strtol(digits.c_str(), nullptr, 10));
  };
  const auto [prefixA, numberA] = split(a);
  const auto [prefixB, numberB] = split(b);
  if (prefixA != prefixB) {
    return prefixA < prefixB;
  }
  if (numberA != numberB) {
    return numberA < numberB;
  }
  return a < b;
}

void EnsureDirectory(const std::string& directory) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error || !fs::is_directory(directory)) {
    throw std::runtime_error("cannot create the virtual port folder " + directory + ": " +
                             (error ? error.message() : "not a folder"));
  }
}

}  // namespace

std::string VirtualPortDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/korvane-sim";
  }
  return "/tmp/korvane-sim-" + std::to_string(::getuid());
}

std::vector<VirtualPort> ListVirtualPorts() {
  std::vector<VirtualPort> ports;
  const std::string directory = VirtualPortDirectory();
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (EndsWith(name, kLockSuffix) || !it->is_symlink(error)) {
      continue;
    }
    const std::string link = it->path().string();
    if (!HeldByLiveProcess(link + kLockSuffix) || !fs::exists(link, error)) {
      continue;
    }
    ports.push_back({name, link});
  }
  std::sort(ports.begin(), ports.end(),
            [](const VirtualPort& a, const VirtualPort& b) { return NameLess(a.Name, b.Name); });
  return ports;
}

TVirtualPortPublication::TVirtualPortPublication(std::string name, std::string linkPath,
                                                 std::string lockPath, int lockFd)
    : name_(std::move(name)),
      linkPath_(std::move(linkPath)),
      lockPath_(std::move(lockPath)),
      lockFd_(lockFd) {}

TVirtualPortPublication::~TVirtualPortPublication() {
  ::unlink(linkPath_.c_str());
  ::unlink(lockPath_.c_str());
  ::close(lockFd_);
}

std::unique_ptr<TVirtualPortPublication> PublishVirtualPort(const std::string& slavePath,
                                                            const std::string& name) {
  const std::string directory = VirtualPortDirectory();
  EnsureDirectory(directory);
  auto tryName = [&](const std::string& candidate) -> std::unique_ptr<TVirtualPortPublication> {
    const std::string link = directory + "/" + candidate;
    const std::string lock = link + kLockSuffix;
    const int fd = TryLock(lock);
    if (fd < 0) {
      return nullptr;
    }
    ::unlink(link.c_str());  // stale link of a simulator that died
    if (::symlink(slavePath.c_str(), link.c_str()) != 0) {
      const std::string reason = std::strerror(errno);
      ::close(fd);
      throw std::runtime_error("cannot publish " + link + ": " + reason);
    }
    return std::make_unique<TVirtualPortPublication>(candidate, link, lock, fd);
  };
  if (!name.empty()) {
    if (name.find('/') != std::string::npos || EndsWith(name, kLockSuffix)) {
      throw std::runtime_error("invalid port name: " + name);
    }
    auto published = tryName(name);
    if (!published) {
      throw std::runtime_error("the port name " + name + " is in use by another simulator");
    }
    return published;
  }
  for (int n = 1; n < 1000; ++n) {
    if (auto published = tryName(kDefaultPrefix + std::to_string(n))) {
      return published;
    }
  }
  throw std::runtime_error("no free virtual port name in " + directory);
}

}  // namespace korvane
