#include <windows.h>

#include "device/ConfigImage.h"
#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

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

DWORD CodeOf(const TError& error) {
  return static_cast<DWORD>(error.Code.value());
}

bool SetSize(HANDLE file, std::uint32_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = size;
  return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// Reads up to `length` bytes at `start`; fewer only at the end of the file.
std::optional<std::string> ReadAt(const std::string& path, std::uint32_t start, std::size_t length,
                                  std::string* cause) {
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    SetCause(cause, "cannot open", path, ::GetLastError());
    return std::nullopt;
  }
  TResult<std::string> data = korvane::ReadAt(file.Get(), start, length);
  if (!data) {
    SetCause(cause, "cannot read", path, CodeOf(data.Error()));
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
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    SetCause(cause, "cannot open", path, ::GetLastError());
    return false;
  }
  if (!SetSize(file.Get(), kImageSize)) {
    SetCause(cause, "cannot write", path, ::GetLastError());
    return false;
  }
  if (const TStatus written = WriteAllAt(file.Get(), bytes, offset); !written) {
    SetCause(cause, "cannot write", path, CodeOf(written.Error()));
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
  UniqueHandle file(::CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid() && ::GetLastError() == ERROR_SHARING_VIOLATION) {
    return nullptr;
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(std::move(file)));
}

}  // namespace korvane
