#include "platform/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "FileFailures.h"
#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;

std::error_code Errno(int err) {
  return {err, std::generic_category()};
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The path that a chain of symbolic links ends at (which need not exist yet).
TResult<std::string> FollowLinks(const std::string& path) {
  std::filesystem::path current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) {
        return current.string();
      }
      return FileFailure(TextId::kFileReach, current.string(), Errno(errno));
    }
    if (!S_ISLNK(info.st_mode)) {
      return current.string();
    }
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(current, ec);
    if (ec) {
      return FileFailure(TextId::kFileReach, current.string(), Errno(ec.value()));
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return FileFailure(TextId::kFileReach, path, Errno(ELOOP));
}

struct TargetInfo {
  bool exists = false;
  struct stat info {};
};

// Checks that an existing target is a regular file we may write, without changing it.
TResult<TargetInfo> InspectTarget(const std::string& path) {
  TargetInfo target;
  const UniqueFd file(OpenRetrying(path, O_WRONLY | O_NONBLOCK));
  if (!file.Valid()) {
    if (errno == ENOENT) {
      return target;
    }
    return FileFailure(TextId::kFileWrite, path, Errno(errno));
  }
  if (::fstat(file.Get(), &target.info) != 0 || !S_ISREG(target.info.st_mode)) {
    return MakeError(TextId::kFileNotRegular, {path});
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
TStatus WriteInPlace(const std::string& path, std::string_view bytes, int folderError) {
  UniqueFd file(OpenRetrying(path, O_WRONLY));
  int failure = file.Valid() ? 0 : errno;
  if (file.Valid()) {
    failure = Overwrite(file.Get(), bytes);
    if (!file.Close() && failure == 0) {
      failure = errno;
    }
  }
  if (failure != 0) {
    return InPlaceFailure(path, Errno(folderError), Errno(failure));
  }
  return {};
}

TStatus WriteThroughTemp(const std::string& path, std::string_view bytes,
                         const TargetInfo& target) {
  std::string tempName;
  UniqueFd temp(CreateTempBeside(path, tempName));
  if (!temp.Valid()) {
    // A folder we may not write in (not a full one: there an overwrite could
    // stop halfway) leaves the file itself, if we may write it.
    const int folderError = errno;
    if (target.exists && (folderError == EACCES || folderError == EPERM)) {
      return WriteInPlace(path, bytes, folderError);
    }
    return FileFailure(TextId::kFileCreateBeside, path, Errno(folderError));
  }
  int failure = FillTemp(temp.Get(), bytes, target);
  if (!temp.Close() && failure == 0) {
    failure = errno;
  }
  if (failure == 0 && ::rename(tempName.c_str(), path.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    ::unlink(tempName.c_str());
    return FileFailure(TextId::kFileWrite, path, Errno(failure));
  }
  SyncDirectoryOf(path);
  return {};
}

}  // namespace

TextId FileReasonOf(const std::error_code& code) {
  switch (code.value()) {
    case EACCES:
    case EPERM:
      return TextId::kFileReasonDenied;
    case ENOSPC:
    case EDQUOT:
      return TextId::kFileReasonNoSpace;
    case ENOENT:
    case ENOTDIR:
      return TextId::kFileReasonMissing;
    case EROFS:
      return TextId::kFileReasonReadOnly;
    case ETXTBSY:
    case EBUSY:
      return TextId::kFileReasonInUse;
    case EFBIG:
      return TextId::kFileReasonTooLarge;
    default:
      return TextId::kNone;
  }
}

TError MissingFileError(const std::string& path) {
  return FileFailure(TextId::kFileRead, path, Errno(ENOENT));
}

TResult<std::optional<std::string>> ReadFileBytes(const std::string& path) {
  const UniqueFd file(OpenRetrying(path, O_RDONLY | O_NONBLOCK));
  if (!file.Valid()) {
    const int err = errno;
    if (err == ENOENT || err == ENOTDIR) {
      return std::optional<std::string>();
    }
    return FileFailure(TextId::kFileRead, path, Errno(err));
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return MakeError(TextId::kFileNotRegular, {path});
  }
  TResult<std::string> bytes = ReadAll(file.Get());
  if (!bytes) {
    return FileFailure(TextId::kFileRead, path, bytes.Error().Code);
  }
  return std::optional<std::string>(std::move(bytes).Value());
}

TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) {
    return MakeError(TextId::kFileNoName);
  }
  const TResult<std::string> finalPath = FollowLinks(path);
  if (!finalPath) {
    return finalPath.Error();
  }
  const TResult<TargetInfo> target = InspectTarget(finalPath.Value());
  if (!target) {
    return target.Error();
  }
  return WriteThroughTemp(finalPath.Value(), bytes, target.Value());
}

}  // namespace korvane
