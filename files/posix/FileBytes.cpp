#include "files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

namespace korvane {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;

std::string Describe(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::generic_category().message(err);
}

void SetError(std::string* error, std::string text) {
  if (error) {
    *error = std::move(text);
  }
}

// Closes the descriptor it holds when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int Get() const { return fd_; }
  // Closes now and reports whether the close went well (it may report a late write error).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool ReadAll(int fd, std::string& bytes) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) {
      return true;
    }
    if (got < 0 && errno != EINTR) {
      return false;
    }
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno != EINTR) {
      return false;
    }
    if (put > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
  }
  return true;
}

// The path that a chain of symbolic links ends at (which need not exist yet).
std::optional<std::string> FollowLinks(const std::string& path, std::string* error) {
  std::filesystem::path current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) {
        return current.string();
      }
      SetError(error, Describe("cannot reach", current.string(), errno));
      return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) {
      return current.string();
    }
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(current, ec);
    if (ec) {
      SetError(error, Describe("cannot follow link", current.string(), ec.value()));
      return std::nullopt;
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  SetError(error, Describe("cannot follow link", path, ELOOP));
  return std::nullopt;
}

struct TargetInfo {
  bool exists = false;
  struct stat info {};
};

// Checks that an existing target is a regular file we may write, without changing it.
std::optional<TargetInfo> InspectTarget(const std::string& path, std::string* error) {
  TargetInfo target;
  const int fd = OpenRetrying(path, O_WRONLY | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) {
      return target;
    }
    SetError(error, Describe("cannot write", path, errno));
    return std::nullopt;
  }
  Fd guard(fd);
  if (::fstat(fd, &target.info) != 0 || !S_ISREG(target.info.st_mode)) {
    SetError(error, "cannot write " + path + ": not a regular file");
    return std::nullopt;
  }
  target.exists = true;
  return target;
}

std::string TempNameFor(const std::filesystem::path& target) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  const auto base = target.filename().string().substr(0, 64);
  const auto tag = std::to_string(::getpid()) + "-" + std::to_string(generator() % 1000000000);
  return (target.parent_path() / ("." + base + "." + tag + ".tmp")).string();
}

// Creates a fresh temporary file beside the target; fills `name`.
int CreateTempBeside(const std::filesystem::path& target, std::string& name) {
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    name = TempNameFor(target);
    const int fd = OpenRetrying(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

// Gives the temporary file the target's owner (where allowed) and permission bits.
bool CopyAttributes(int fd, const TargetInfo& target) {
  if (!target.exists) {
    return true;
  }
  if (::fchown(fd, target.info.st_uid, target.info.st_gid) != 0) {
    // Only a privileged process may give a file away; the bits below still apply.
  }
  return ::fchmod(fd, target.info.st_mode & 07777) == 0;
}

bool FillTemp(int fd, std::string_view bytes, const TargetInfo& target) {
  return WriteAll(fd, bytes) && CopyAttributes(fd, target) && ::fsync(fd) == 0;
}

void SyncDirectoryOf(const std::filesystem::path& target) {
  const auto dir = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  const int fd = OpenRetrying(dir.string(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    Fd guard(fd);
    ::fsync(fd);  // the rename is done; a failure here only weakens durability
  }
}

bool WriteThroughTemp(const std::string& path, std::string_view bytes, const TargetInfo& target,
                      std::string* error) {
  std::string tempName;
  const int fd = CreateTempBeside(path, tempName);
  if (fd < 0) {
    SetError(error, Describe("cannot create a file beside", path, errno));
    return false;
  }
  Fd temp(fd);
  int failure = FillTemp(fd, bytes, target) ? 0 : errno;
  if (!temp.Close() && failure == 0) {
    failure = errno;
  }
  if (failure == 0 && ::rename(tempName.c_str(), path.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    SetError(error, Describe("cannot write", path, failure));
    ::unlink(tempName.c_str());
    return false;
  }
  SyncDirectoryOf(path);
  return true;
}

}  // namespace

FileContents ReadFileBytes(const std::string& path) {
  FileContents contents;
  const int fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    const int err = errno;
    contents.status =
        (err == ENOENT || err == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kFailed;
    contents.error = Describe("cannot read", path, err);
    return contents;
  }
  Fd guard(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    contents.status = ReadStatus::kFailed;
    contents.error = "cannot read " + path + ": not a regular file";
    return contents;
  }
  if (!ReadAll(fd, contents.bytes)) {
    contents.status = ReadStatus::kFailed;
    contents.error = Describe("cannot read", path, errno);
    contents.bytes.clear();
    return contents;
  }
  contents.status = ReadStatus::kRead;
  return contents;
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, std::string* error) {
  if (path.empty()) {
    SetError(error, "cannot write a file without a name");
    return false;
  }
  const auto finalPath = FollowLinks(path, error);
  if (!finalPath) {
    return false;
  }
  const auto target = InspectTarget(*finalPath, error);
  return target && WriteThroughTemp(*finalPath, bytes, *target, error);
}

}  // namespace korvane
