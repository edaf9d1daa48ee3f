#include "files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <locale.h>
#include <string.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

namespace korvane {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;

// The system's words for `err` in English, whatever the program's locale.
std::string EnglishErrorText(int err) {
  static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (english == static_cast<locale_t>(0)) {
    return "error " + std::to_string(err);
  }
  return ::strerror_l(err, english);
}

FileReason ReasonOf(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return FileReason::kDenied;
    case ENOSPC:
    case EDQUOT:
      return FileReason::kNoSpace;
    case ENOENT:
    case ENOTDIR:
      return FileReason::kMissing;
    case EROFS:
      return FileReason::kReadOnly;
    case ETXTBSY:
    case EBUSY:
      return FileReason::kInUse;
    case EFBIG:
      return FileReason::kTooLarge;
    default:
      return FileReason::kOther;
  }
}

FileError Failure(FileStep step, const std::string& path, int err) {
  FileError error;
  error.Step = step;
  error.Path = path;
  error.Reason = ReasonOf(err);
  error.SystemText = EnglishErrorText(err);
  return error;
}

FileError NotRegular(const std::string& path) {
  FileError error;
  error.Step = FileStep::kNotRegular;
  error.Path = path;
  return error;
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
std::optional<std::string> FollowLinks(const std::string& path, FileError& error) {
  std::filesystem::path current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) {
        return current.string();
      }
      error = Failure(FileStep::kReach, current.string(), errno);
      return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) {
      return current.string();
    }
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(current, ec);
    if (ec) {
      error = Failure(FileStep::kReach, current.string(), ec.value());
      return std::nullopt;
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  error = Failure(FileStep::kReach, path, ELOOP);
  return std::nullopt;
}

struct TargetInfo {
  bool exists = false;
  struct stat info {};
};

// Checks that an existing target is a regular file we may write, without changing it.
std::optional<TargetInfo> InspectTarget(const std::string& path, FileError& error) {
  TargetInfo target;
  const int fd = OpenRetrying(path, O_WRONLY | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) {
      return target;
    }
    error = Failure(FileStep::kWrite, path, errno);
    return std::nullopt;
  }
  Fd guard(fd);
  if (::fstat(fd, &target.info) != 0 || !S_ISREG(target.info.st_mode)) {
    error = NotRegular(path);
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

// Writes `bytes` over the open file and cuts it to their length; 0 or the
// error. The space is taken before anything is written, so that a full disk
// changes nothing; an I/O error after that can leave the file half written.
int Overwrite(int fd, std::string_view bytes) {
  const off_t size = static_cast<off_t>(bytes.size());
  int failure = size > 0 ? ::posix_fallocate(fd, 0, size) : 0;
  if (failure == EOPNOTSUPP || failure == EINVAL) {
    failure = 0;  // a file system that cannot reserve: write and see
  }
  if (failure == 0 && (!WriteAll(fd, bytes) || ::ftruncate(fd, size) != 0 || ::fsync(fd) != 0)) {
    failure = errno;
  }
  return failure;
}

// Writes the file itself, for a folder that takes no temporary file; flushed
// to the disk before it counts as done.
bool WriteInPlace(const std::string& path, std::string_view bytes, int folderError,
                  FileError& error) {
  const int fd = OpenRetrying(path, O_WRONLY);
  int failure = fd < 0 ? errno : 0;
  if (fd >= 0) {
    Fd file(fd);
    failure = Overwrite(fd, bytes);
    if (!file.Close() && failure == 0) {
      failure = errno;
    }
  }
  if (failure == 0) {
    return true;
  }
  error = Failure(FileStep::kWriteInPlace, path, failure);
  error.FolderReason = ReasonOf(folderError);
  error.FolderSystemText = EnglishErrorText(folderError);
  return false;
}

bool WriteThroughTemp(const std::string& path, std::string_view bytes, const TargetInfo& target,
                      FileError& error) {
  std::string tempName;
  const int fd = CreateTempBeside(path, tempName);
  if (fd < 0) {
    // A folder we may not write in (not a full one: there an overwrite could
    // stop halfway) leaves the file itself, if we may write it.
    const int folderError = errno;
    if (target.exists && ReasonOf(folderError) == FileReason::kDenied) {
      return WriteInPlace(path, bytes, folderError, error);
    }
    error = Failure(FileStep::kCreateBeside, path, folderError);
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
    error = Failure(FileStep::kWrite, path, failure);
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
    contents.SetFailure(Failure(FileStep::kRead, path, err));
    return contents;
  }
  Fd guard(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(NotRegular(path));
    return contents;
  }
  if (!ReadAll(fd, contents.bytes)) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(Failure(FileStep::kRead, path, errno));
    contents.bytes.clear();
    return contents;
  }
  contents.status = ReadStatus::kRead;
  return contents;
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, FileError& error) {
  error = FileError{};
  if (path.empty()) {
    error.Step = FileStep::kNoName;
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
