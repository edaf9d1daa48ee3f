#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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

 private:
  int fd_;
};

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

bool WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset) {
  if (bytes.empty() || offset > kImageSize || bytes.size() > kImageSize - offset) {
    return false;
  }
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.valid()) {
    return false;
  }
  if (::ftruncate(fd.get(), kImageSize) != 0) {
    return false;
  }
  return WriteAll(fd.get(), bytes, static_cast<off_t>(offset));
}

std::optional<std::string> ReadImageBlock(const std::string& path, int block) {
  if (block < 0 || block >= kBlockCount) {
    return std::nullopt;
  }
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    return std::nullopt;
  }
  std::string data(kBlockSize, '\0');
  std::size_t done = 0;
  const off_t start = static_cast<off_t>(kBlockSize) * block;
  while (done < data.size()) {
    const ssize_t got =
        ::pread(fd.get(), data.data() + done, data.size() - done, start + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return std::nullopt;
    }
    done += static_cast<std::size_t>(got);
  }
  return data;
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
