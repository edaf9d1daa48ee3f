#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "device/ConfigImage.h"

namespace korvane {

namespace {

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

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

bool WriteAll(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += written;
  }
  return true;
}

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
std::optional<std::string> ReadAt(const std::string& path, off_t start, std::size_t length,
                                  std::string* cause) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    SetCause(cause, "cannot open", path, errno);
    return std::nullopt;
  }
  std::string data(length, '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t got =
        ::pread(fd.get(), data.data() + done, data.size() - done, start + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      SetCause(cause, "cannot read", path, errno);
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  data.resize(done);
  return data;
}

}  // namespace

std::string ExecutableDirectory() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return "./";
  }
  std::string directory = exe.parent_path().string();
  if (directory.empty() || directory.back() != '/') {
    directory.push_back('/');
  }
  return directory;
}

bool WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset,
                     std::string* cause) {
  if (!FitsImage(bytes, offset)) {
    return false;
  }
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.valid()) {
    SetCause(cause, "cannot open", path, errno);
    return false;
  }
  if (::ftruncate(fd.get(), kImageSize) != 0 ||
      !WriteAll(fd.get(), bytes, static_cast<off_t>(offset))) {
    SetCause(cause, "cannot write", path, errno);
    return false;
  }
  // A file system may report a failed write only when the file is closed.
  const int descriptor = fd.release();
  if (::close(descriptor) != 0) {
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
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return std::unique_ptr<TImageFileLock>(new TImageFileLock(-1));
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(fd));
}

TImageFileLock::~TImageFileLock() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
  }
}

}  // namespace korvane
