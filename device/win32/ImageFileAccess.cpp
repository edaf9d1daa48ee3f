#include <windows.h>
#include "device/ConfigImage.h"

namespace korvane {
namespace {

// Closes a handle on every path out of a scope.
class THandle {
 public:
  explicit THandle(HANDLE handle) : handle_(handle) {}
  ~THandle() {
    if (Valid()) {
      ::CloseHandle(handle_);
    }
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

OVERLAPPED AtOffset(std::uint32_t offset) {
  OVERLAPPED position{};
  position.Offset = offset;
  return position;
}

bool WriteAll(HANDLE file, std::string_view bytes, std::uint32_t offset) {
  while (!bytes.empty()) {
    OVERLAPPED position = AtOffset(offset);
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &position) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
    offset += written;
  }
  return true;
}

bool SetSize(HANDLE file, std::uint32_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = size;
  return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

}  // namespace

std::string ExecutableDirectory() {
  char path[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    return ".\\";
  }
  std::string directory(path, length);
  const std::size_t slash = directory.find_last_of("\\/");
  return slash == std::string::npos ? ".\\" : directory.substr(0, slash + 1);
}

bool WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset) {
  if (bytes.empty() || offset > kImageSize || bytes.size() > kImageSize - offset) {
    return false;
  }
  THandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() && SetSize(file.Get(), kImageSize) && WriteAll(file.Get(), bytes, offset);
}

std::optional<std::string> ReadImageBlock(const std::string& path, int block) {
  if (block < 0 || block >= kBlockCount) {
    return std::nullopt;
  }
  THandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return std::nullopt;
  }
  std::string data(kBlockSize, '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED position =
        AtOffset(kBlockSize * static_cast<std::uint32_t>(block) + static_cast<std::uint32_t>(done));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got,
                    &position) ||
        got == 0) {
      return std::nullopt;
    }
    done += got;
  }
  return data;
}

// The lock file is opened unshared: a second program's open fails with a
// sharing violation for as long as the first keeps it.
std::unique_ptr<TImageFileLock> TImageFileLock::TryAcquire(const std::string& imagePath) {
  const std::string lockPath = imagePath + ".lock";
  HANDLE file = ::CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_SHARING_VIOLATION) {
      return nullptr;
    }
    return std::unique_ptr<TImageFileLock>(new TImageFileLock(-1));
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(reinterpret_cast<std::intptr_t>(file)));
}

TImageFileLock::~TImageFileLock() {
  if (handle_ != -1) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  }
}

}  // namespace korvane
