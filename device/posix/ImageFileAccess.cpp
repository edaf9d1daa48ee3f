#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ImageFileFailures.h"
#include "device/ConfigImage.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/UniqueHandle.h"

namespace korvane {

namespace {

// The system's text for `error` in English, whatever locale the program runs in
// (the editor takes the user's).
std::string EnglishErrorText(int error) {
  static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (english == static_cast<locale_t>(0)) {
    return "error " + std::to_string(error);
  }
  return ::strerror_l(error, english);
}

TError Failure(const std::string& what, const std::string& path, int error) {
  return {std::error_code(error, std::generic_category()),
          what + " " + path + ": " + EnglishErrorText(error)};
}

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
TResult<std::string> ReadAt(const std::string& path, off_t start, std::size_t length) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return Failure("cannot open", path, errno);
  }
  TResult<std::string> data = korvane::ReadAt(fd.Get(), static_cast<std::uint64_t>(start), length);
  if (!data) {
    return Failure("cannot read", path, data.Error().Code.value());
  }
  return data;
}

}  // namespace

TStatus WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset) {
  if (!FitsImage(bytes, offset)) {
    return NoImageWrite(bytes, offset);
  }
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.Valid()) {
    return Failure("cannot open", path, errno);
  }
  if (::ftruncate(fd.Get(), kImageSize) != 0) {
    return Failure("cannot write", path, errno);
  }
  if (const TStatus written = WriteAllAt(fd.Get(), bytes, offset); !written) {
    return Failure("cannot write", path, written.Error().Code.value());
  }
  // A file system may report a failed write only when the file is closed.
  if (!fd.Close()) {
    return Failure("cannot write", path, errno);
  }
  return {};
}

TResult<std::string> ReadImageBlock(const std::string& path, int block) {
  if (block < 0 || block >= kBlockCount) {
    return NoImageBlock(block);
  }
  TResult<std::string> data = ReadAt(path, static_cast<off_t>(kBlockSize) * block, kBlockSize);
  if (data && data.Value().size() != kBlockSize) {
    return ShortImageBlock(path, block);
  }
  return data;
}

TResult<std::string> ReadImageFile(const std::string& path) {
  return ReadAt(path, 0, kImageSize + 1);
}

std::unique_ptr<TImageFileLock> TImageFileLock::TryAcquire(const std::string& imagePath) {
  const std::string lockPath = imagePath + ".lock";
  UniqueFd file(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!file.Valid()) {
    return std::unique_ptr<TImageFileLock>(new TImageFileLock(UniqueFd()));
  }
  const TResult<bool> taken = TryLockFile(file.Get(), TLockMode::Exclusive);
  if (!taken || !taken.Value()) {
    return nullptr;
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(std::move(file)));
}

}  // namespace korvane
