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

// The system's text for `error`, in English where the system has it.
std::string ErrorText(DWORD error) {
  char text[512];
  for (DWORD language :
       {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), static_cast<DWORD>(0)}) {
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, language, text, sizeof text, nullptr);
    while (length > 0 &&
           (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) {
      --length;
    }
    if (length > 0) {
      return std::string(text, length);
    }
  }
  return "Windows error " + std::to_string(error);
}

void SetCause(std::string* cause, const std::string& what, const std::string& path, DWORD error) {
  if (cause) {
    *cause = what + " " + path + ": " + ErrorText(error);
  }
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

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
std::optional<std::string> ReadAt(const std::string& path, std::uint32_t start, std::size_t length,
                                  std::string* cause) {
  THandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    SetCause(cause, "cannot open", path, ::GetLastError());
    return std::nullopt;
  }
  std::string data(length, '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED position = AtOffset(start + static_cast<std::uint32_t>(done));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got,
                    &position)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) {
        break;
      }
      SetCause(cause, "cannot read", path, error);
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  data.resize(done);
  return data;
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

bool WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset,
                     std::string* cause) {
  if (!FitsImage(bytes, offset)) {
    return false;
  }
  THandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    SetCause(cause, "cannot open", path, ::GetLastError());
    return false;
  }
  if (!SetSize(file.Get(), kImageSize) || !WriteAll(file.Get(), bytes, offset)) {
    SetCause(cause, "cannot write", path, ::GetLastError());
    return false;
  }
  return true;
}

std::optional<std::string> ReadImageBlock(const std::string& path, int block, std::string* cause) {
  if (block < 0 || block >= kBlockCount) {
    return std::nullopt;
  }
  std::optional<std::string> data =
      ReadAt(path, kBlockSize * static_cast<std::uint32_t>(block), kBlockSize, cause);
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
