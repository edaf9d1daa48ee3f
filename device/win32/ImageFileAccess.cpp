#include <windows.h>

#include "ImageFileFailures.h"
#include "device/ConfigImage.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

TError Failure(TextId what, const std::string& path, DWORD error) {
  const std::error_code code(static_cast<int>(error), std::system_category());
  return MakeError(what, {path, SystemErrorText(code)}, code);
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
TResult<std::string> ReadAt(const TImageFile& file, std::uint32_t start, std::size_t length) {
  TResult<std::string> data = korvane::ReadAt(file.Native(), start, length);
  if (!data) {
    return Failure(TextId::kImageCannotRead, file.Path(), CodeOf(data.Error()));
  }
  return data;
}

TError Refused(const std::string& path, TextId why) {
  return MakeError(TextId::kImageCannotOpen, {path, TextArg(why)},
                   std::make_error_code(std::errc::invalid_argument));
}

// Why an open file is not one the tool writes to: a reparse point (a link
// of any kind), a directory, or a file that also has other names.
TStatus CheckSoleRegularFile(HANDLE file, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) {
    return Failure(TextId::kImageCannotOpen, path, ::GetLastError());
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return Refused(path, TextId::kImageReparsePoint);
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Refused(path, TextId::kImageNotRegular);
  }
  if (info.nNumberOfLinks > 1) {
    return Refused(path, TextId::kImageHardLinks);
  }
  return {};
}

// Opens `path` for reading and writing without following a reparse point at
// it: a new file is made exclusively, an existing one opened as it is.
TResult<UniqueHandle> OpenWithoutFollowing(const std::string& path, DWORD share) {
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (int attempt = 0; attempt < 3 && error == ERROR_FILE_NOT_FOUND; ++attempt) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                    CREATE_NEW, kFlags, nullptr));
    if (!file.Valid() && ::GetLastError() == ERROR_FILE_EXISTS) {
      file.Reset(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                               OPEN_EXISTING, kFlags, nullptr));
    }
    if (file.Valid()) {
      if (const TStatus sole = CheckSoleRegularFile(file.Get(), path); !sole) {
        return sole.Error();
      }
      return file;
    }
    error = ::GetLastError();
  }
  return Failure(TextId::kImageCannotOpen, path, error);
}

}  // namespace

TResult<TImageFile> TImageFile::Open(const std::string& path) {
  TResult<UniqueHandle> file = OpenWithoutFollowing(path, FILE_SHARE_READ);
  if (!file) {
    return file.Error();
  }
  return TImageFile(path, std::move(file).Value());
}

TStatus WriteImageBytes(const TImageFile& file, std::string_view bytes, std::uint32_t offset) {
  if (!FitsImage(bytes, offset)) {
    return NoImageWrite(bytes, offset);
  }
  if (!SetSize(file.Native(), kImageSize)) {
    return Failure(TextId::kImageCannotWrite, file.Path(), ::GetLastError());
  }
  if (const TStatus written = WriteAllAt(file.Native(), bytes, offset); !written) {
    return Failure(TextId::kImageCannotWrite, file.Path(), CodeOf(written.Error()));
  }
  return {};
}

TResult<std::string> ReadImageBlock(const TImageFile& file, int block) {
  if (block < 0 || block >= kBlockCount) {
    return NoImageBlock(block);
  }
  TResult<std::string> data =
      ReadAt(file, kBlockSize * static_cast<std::uint32_t>(block), kBlockSize);
  if (data && data.Value().size() != kBlockSize) {
    return ShortImageBlock(file.Path(), block);
  }
  return data;
}

TResult<std::string> ReadImageFile(const TImageFile& file) {
  return ReadAt(file, 0, kImageSize + 1);
}

// The lock file is opened unshared: a second program's open fails with a
// sharing violation for as long as the first keeps it.
TResult<std::unique_ptr<TImageFileLock>> TImageFileLock::TryAcquire(const std::string& imagePath) {
  TResult<UniqueHandle> file = OpenWithoutFollowing(imagePath + ".lock", 0);
  if (!file) {
    if (file.Error().Code.category() == std::generic_category()) {
      return file.Error();  // refused: a link or a strange file planted at the lock's name
    }
    if (CodeOf(file.Error()) == ERROR_SHARING_VIOLATION) {
      return std::unique_ptr<TImageFileLock>();
    }
    return std::unique_ptr<TImageFileLock>(new TImageFileLock(UniqueHandle()));
  }
  return std::unique_ptr<TImageFileLock>(new TImageFileLock(std::move(file).Value()));
}

}  // namespace korvane
