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

#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

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
  error.SystemCode = std::error_code(err, std::generic_category());
  return error;
}

FileError NotRegular(const std::string& path) {
  FileError error;
  error.Step = FileStep::kNotRegular;
  error.Path = path;
  return error;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
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
  const UniqueFd file(OpenRetrying(path, O_WRONLY | O_NONBLOCK));
  if (!file.Valid()) {
    if (errno == ENOENT) {
      return target;
    }
    error = Failure(FileStep::kWrite, path, errno);
    return std::nullopt;
  }
  if (::fstat(file.Get(), &target.info) != 0 || !S_ISREG(target.info.st_mode)) {
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

// 0 or the error of the first step that failed.
int FillTemp(int fd, std::string_view bytes, const TargetInfo& target) {
  if (const TStatus written = WriteAll(fd, bytes); !written) {
    return written.Error().Code.value();
  }
  return CopyAttributes(fd, target) && ::fsync(fd) == 0 ? 0 : errno;
}

void SyncDirectoryOf(const std::filesystem::path& target) {
  const auto dir = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  const UniqueFd folder(OpenRetrying(dir.string(), O_RDONLY | O_DIRECTORY));
  if (folder.Valid()) {
    ::fsync(folder.Get());  // the rename is done; a failure here only weakens durability
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
  if (failure != 0) {
    return failure;
  }
  if (const TStatus written = WriteAll(fd, bytes); !written) {
    return written.Error().Code.value();
  }
  return ::ftruncate(fd, size) != 0 || ::fsync(fd) != 0 ? errno : 0;
}

// Writes the file itself, for a folder that takes no temporary file; flushed
// to the disk before it counts as done.
bool WriteInPlace(const std::string& path, std::string_view bytes, int folderError,
                  FileError& error) {
  UniqueFd file(OpenRetrying(path, O_WRONLY));
  int failure = file.Valid() ? 0 : errno;
  if (file.Valid()) {
    failure = Overwrite(file.Get(), bytes);
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
  UniqueFd temp(CreateTempBeside(path, tempName));
  if (!temp.Valid()) {
    // A folder we may not write in (not a full one: there an overwrite could
    // stop halfway) leaves the file itself, if we may write it.
    const int folderError = errno;
    if (target.exists && ReasonOf(folderError) == FileReason::kDenied) {
      return WriteInPlace(path, bytes, folderError, error);
    }
    error = Failure(FileStep::kCreateBeside, path, folderError);
    return false;
  }
  int failure = FillTemp(temp.Get(), bytes, target);
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

bool Replace(const std::string& path, std::string_view bytes, FileError& error) {
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

}  // namespace

FileContents ReadFileBytes(const std::string& path) {
  FileContents contents;
  const UniqueFd file(OpenRetrying(path, O_RDONLY | O_NONBLOCK));
  if (!file.Valid()) {
    const int err = errno;
    contents.status =
        (err == ENOENT || err == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kFailed;
    contents.SetFailure(Failure(FileStep::kRead, path, err));
    return contents;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(NotRegular(path));
    return contents;
  }
  TResult<std::string> bytes = ReadAll(file.Get());
  if (!bytes) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(Failure(FileStep::kRead, path, bytes.Error().Code.value()));
    return contents;
  }
  contents.bytes = std::move(bytes).Value();
  contents.status = ReadStatus::kRead;
  return contents;
}

TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes, FileError* failure) {
  FileError error;
  const bool replaced = Replace(path, bytes, error);
  return FileOutcome(replaced, error, failure);
}

}  // namespace korvane
