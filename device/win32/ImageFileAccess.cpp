#include <windows.h>

#include "ImageFileFailures.h"
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

TError Failure(const std::string& what, const std::string& path, DWORD error) {
  return {std::error_code(static_cast<int>(error), std::system_category()),
          what + " " + path + ": " + ErrorText(error)};
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
TResult<std::string> ReadAt(const std::string& path, std::uint32_t start, std::size_t length) {
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return Failure("cannot open", path, ::GetLastError());
  }
  TResult<std::string> data = korvane::ReadAt(file.Get(), start, length);
  if (!data) {
    return Failure("cannot read", path, CodeOf(data.Error()));
  }
  return data;
}

}  // namespace

TStatus WriteImageBytes(const std::string& path, std::string_view bytes, std::uint32_t offset) {
  if (!FitsImage(bytes, offset)) {
    return NoImageWrite(bytes, offset);
  }
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return Failure("cannot open", path, ::GetLastError());
  }
  if (!SetSize(file.Get(), kImageSize)) {
    return Failure("cannot write", path, ::GetLastError());
  }
  if (const TStatus written = WriteAllAt(file.Get(), bytes, offset); !written) {
    return Failure("cannot write", path, CodeOf(written.Error()));
  }
  return {};
}

TResult<std::string> ReadImageBlock(const std::string& path, int block) {
  if (block < 0 || block >= kBlockCount) {
    return NoImageBlock(block);
  }
  TResult<std::string> data =
      ReadAt(path, kBlockSize * static_cast<std::uint32_t>(block), kBlockSize);
  if (data && data.Value().size() != kBlockSize) {
    return ShortImageBlock(path, block);
  }
  return data;
}

TResult<std::string> ReadImageFile(const std::string& path) {
  return ReadAt(path, 0, kImageSize + 1);
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
