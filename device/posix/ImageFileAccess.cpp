#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ImageFileFailures.h"
#include "device/ConfigImage.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {

namespace {

TError Failure(TextId what, const std::string& path, int error) {
  const std::error_code code(error, std::generic_category());
  return MakeError(what, {path, SystemErrorText(code)}, code);
}

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
TResult<std::string> ReadAt(const TImageFile& file, off_t start, std::size_t length) {
  TResult<std::string> data =
      korvane::ReadAt(file.Native(), static_cast<std::uint64_t>(start), length);
  if (!data) {
    return Failure(TextId::kImageCannotRead, file.Path(), data.Error().Code.value());
  }
  return data;
}

TError Refused(const std::string& path, TextId why) {
  return MakeError(TextId::kImageCannotOpen, {path, TextArg(why)},
                   std::make_error_code(std::errc::invalid_argument));
}

// Why an open file is not one the tool writes to: another kind of file, or a
// file that also has other names.
TStatus CheckSoleRegularFile(int fd, const std::string& path) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    return Failure(TextId::kImageCannotOpen, path, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return Refused(path, TextId::kImageNotRegular);
  }
  if (status.st_nlink > 1) {
    return Refused(path, TextId::kImageHardLinks);
  }
  return {};
}

// Opens `path` for reading and writing without following a link at it: a new
// file is made exclusively, an existing one opened as it is. A name that
// comes and goes between the two is tried again, a few times.
TResult<UniqueFd> OpenWithoutFollowing(const std::string& path) {
  constexpr int kCommon = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int error = ENOENT;
  for (int attempt = 0; attempt < 3 && error == ENOENT; ++attempt) {
    UniqueFd fd(::open(path.c_str(), kCommon | O_CREAT | O_EXCL, 0644));
    if (!fd.Valid() && errno == EEXIST) {
      fd.Reset(::open(path.c_str(), kCommon));
    }
    if (fd.Valid()) {
      if (const TStatus sole = CheckSoleRegularFile(fd.Get(), path); !sole) {
        return sole.Error();
      }
      return fd;
    }
    error = errno;
  }
  if (error == ELOOP) {
    return MakeError(TextId::kImageCannotOpen, {path, TextArg(TextId::kImageSymlink)},
                     std::error_code(ELOOP, std::generic_category()));
  }
  return Failure(TextId::kImageCannotOpen, path, error);
}

}  // namespace

TResult<TImageFile> TImageFile::Open(const std::string& path) {
  TResult<UniqueFd> fd = OpenWithoutFollowing(path);
  if (!fd) {
    return fd.Error();
  }
  return TImageFile(path, std::move(fd).Value());
}

TStatus WriteImageBytes(const TImageFile& file, std::string_view bytes, std::uint32_t offset) {
  if (!FitsImage(bytes, offset)) {
    return NoImageWrite(bytes, offset);
  }
  if (::ftruncate(file.Native(), kImageSize) != 0) {
    return Failure(TextId::kImageCannotWrite, file.Path(), errno);
  }
  if (const TStatus written = WriteAllAt(file.Native(), bytes, offset); !written) {
    return Failure(TextId::kImageCannotWrite, file.Path(), written.Error().Code.value());
  }
  return {};
}

TResult<std::string> ReadImageBlock(const TImageFile& file, int block) {
  if (block < 0 || block >= kBlockCount) {
    return NoImageBlock(block);
  }
  TResult<std::string> data = ReadAt(file, static_cast<off_t>(kBlockSize) * block, kBlockSize);
  if (data && data.Value().size() != kBlockSize) {
    return ShortImageBlock(file.Path(), block);
  }
  return data;
}

TResult<std::string> ReadImageFile(const TImageFile& file) {
  return ReadAt(file, 0, kImageSize + 1);
}

TResult<std::unique_ptr<TImageFileLock>> TImageFileLock::TryAcquire(const std::string& imagePath) {
  const std::string lockPath = imagePath + ".lock";
  TResult<UniqueFd> file = OpenWithoutFollowing(lockPath);
  if (!file) {
    const int cause = file.Error().Code.value();
    if (cause == ELOOP || cause == EINVAL) {
      return file.Error();  // a link or a strange file planted at the lock's name
    }
    return std::unique_ptr<TImageFileLock>(new TImageFileLock(UniqueFd()));
  }
  const TResult<bool> taken = TryLockFile(file.Value().Get(), TLockMode::Exclusive);
  if (!taken || !taken.Value()) {
    return std::unique_ptr<TImageFileLock>();
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(std::move(file).Value()));
}

}  // namespace korvane
