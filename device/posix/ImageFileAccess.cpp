#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

void SetCause(std::string* cause, const std::string& what, const std::string& path, int error) {
  if (cause) {
    *cause = what + " " + path + ": " + EnglishErrorText(error);
  }
}

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
std::optional<std::string> ReadAt(const std::string& path, off_t start, std::size_t length,
                                  std::string* cause) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    SetCause(cause, "cannot open", path, errno);
    return std::nullopt;
  }
  TResult<std::string> data = korvane::ReadAt(fd.Get(), static_cast<std::uint64_t>(start), length);
  if (!data) {
    SetCause(cause, "cannot read", path, data.Error().Code.value());
    return std::nullopt;
  }
  return std::move(data).Value();
}

}  // namespace

bool WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset,
                     std::string* cause) {
  if (!FitsImage(bytes, offset)) {
    return false;
  }
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.Valid()) {
    SetCause(cause, "cannot open", path, errno);
    return false;
  }
  if (::ftruncate(fd.Get(), kImageSize) != 0) {
    SetCause(cause, "cannot write", path, errno);
    return false;
  }
  if (const TStatus written = WriteAllAt(fd.Get(), bytes, offset); !written) {
    SetCause(cause, "cannot write", path, written.Error().Code.value());
    return false;
  }
  // A file system may report a failed write only when the file is closed.
  if (!fd.Close()) {
    SetCause(cause, "cannot write", path, errno);
    return false;
  }
  return true;
}

std::optional<std::string> ReadImageBlock(const std::string& path, int block, std::string* cause) {
  if (block < 0 || block >= kBlockCount) {
    return std::nullopt;
  }
  std::optional<std::string> data =
      ReadAt(path, static_cast<off_t>(kBlockSize) * block, kBlockSize, cause);
  if (data && data->size() != kBlockSize) {
    if (cause) {
      *cause = "cannot read block " + std::to_string(block) + " of " + path + ": the file is short";
    }
    return std::nullopt;
  }
  return data;
}

std::optional<std::string> ReadImageFile(const std::string& path, std::string* cause) {
  return ReadAt(path, 0, kImageSize + 1, cause);
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
