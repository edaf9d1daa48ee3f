#include "platform/FileBytes.h"

#include <string>

#include <windows.h>

#include "FileFailures.h"
#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

constexpr int kTempNameAttempts = 100;

std::error_code SystemCode(DWORD code) {
  return {static_cast<int>(code), std::system_category()};
}

DWORD CodeOf(const TError& error) {
  return static_cast<DWORD>(error.Code.value());
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a fresh temporary file beside the target; fills `name`.
HANDLE CreateTempBeside(const std::string& path, std::string& name) {
  const std::string base = DirectoryOf(path) + "~" + std::to_string(::GetCurrentProcessId());
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    name =
        base + "-" + std::to_string(::GetTickCount64() + static_cast<ULONGLONG>(attempt)) + ".tmp";
    HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      return file;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// An existing target must be a file we may write; read-only files are refused.
// True when there is one.
TResult<bool> CheckTarget(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A missing folder on the way is the folder's problem: creating the
    // temporary file in it fails and says so, as on Linux.
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return false;
    }
    return FileFailure(TextId::kFileWrite, path, SystemCode(code));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return MakeError(TextId::kFileNotRegular, {path});
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return FileFailure(TextId::kFileWrite, path, SystemCode(ERROR_ACCESS_DENIED));
  }
  return true;
}

// Makes the file at least `size` bytes long and leaves its position at the
// start, so that a full disk shows before anything is overwritten.
bool TakeRoom(HANDLE file, std::size_t size) {
  LARGE_INTEGER current{};
  if (!::GetFileSizeEx(file, &current)) {
    return false;
  }
  LARGE_INTEGER wanted{};
  wanted.QuadPart = static_cast<LONGLONG>(size);
  if (wanted.QuadPart > current.QuadPart &&
      (!::SetFilePointerEx(file, wanted, nullptr, FILE_BEGIN) || !::SetEndOfFile(file))) {
    return false;
  }
  const LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// Overwrites the file itself, for a folder that takes no temporary file. The
// space is taken before anything is written; a write error after that (an I/O
// error) can leave the file half written. Flushed to the disk before it counts
// as done.
// 0 or the system's code for the first step that failed.
DWORD Overwrite(HANDLE file, std::string_view bytes) {
  if (!TakeRoom(file, bytes.size())) {
    return ::GetLastError();
  }
  if (const TStatus written = WriteAll(file, bytes); !written) {
    return CodeOf(written.Error());
  }
  return ::SetEndOfFile(file) && ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

TStatus WriteInPlace(const std::string& path, std::string_view bytes, DWORD folderError) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD failure = file.Valid() ? Overwrite(file.Get(), bytes) : ::GetLastError();
  if (!file.Close() && failure == 0) {
    failure = ::GetLastError();
  }
  if (failure != 0) {
    return InPlaceFailure(path, SystemCode(folderError), SystemCode(failure));
  }
  return {};
}

// 0 or the system's code for the first step that failed.
DWORD FillTemp(HANDLE file, std::string_view bytes) {
  if (const TStatus written = WriteAll(file, bytes); !written) {
    return CodeOf(written.Error());
  }
  return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

bool IsDenied(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

TStatus WriteThroughTemp(const std::string& path, std::string_view bytes, bool exists) {
  std::string tempName;
  UniqueHandle temp(CreateTempBeside(path, tempName));
  if (!temp.Valid()) {
    // A folder we may not write in (not a full one: there an overwrite could
    // stop halfway) leaves the file itself, if we may write it.
    const DWORD folderError = ::GetLastError();
    if (exists && IsDenied(folderError)) {
      return WriteInPlace(path, bytes, folderError);
    }
    return FileFailure(TextId::kFileCreateBeside, path, SystemCode(folderError));
  }
  DWORD failure = FillTemp(temp.Get(), bytes);
  if (!temp.Close() && failure == 0) {
    failure = ::GetLastError();
  }
  if (failure == 0 && !::MoveFileExA(tempName.c_str(), path.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    failure = ::GetLastError();
  }
  if (failure != 0) {
    ::DeleteFileA(tempName.c_str());
    return FileFailure(TextId::kFileWrite, path, SystemCode(failure));
  }
  return {};
}

}  // namespace

TextId FileReasonOf(const std::error_code& code) {
  switch (static_cast<DWORD>(code.value())) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return TextId::kFileReasonDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return TextId::kFileReasonNoSpace;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return TextId::kFileReasonMissing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return TextId::kFileReasonInUse;
    case ERROR_FILE_TOO_LARGE:
      return TextId::kFileReasonTooLarge;
    default:
      return TextId::kNone;
  }
}

TError MissingFileError(const std::string& path) {
  return FileFailure(TextId::kFileRead, path, SystemCode(ERROR_FILE_NOT_FOUND));
}

TResult<std::optional<std::string>> ReadFileBytes(const std::string& path) {
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return std::optional<std::string>();
    }
    return FileFailure(TextId::kFileRead, path, SystemCode(code));
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    return MakeError(TextId::kFileNotRegular, {path});
  }
  TResult<std::string> bytes = ReadAll(file.Get());
  if (!bytes) {
    return FileFailure(TextId::kFileRead, path, bytes.Error().Code);
  }
  return std::optional<std::string>(std::move(bytes).Value());
}

TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes) {
  if (path.empty()) {
    return MakeError(TextId::kFileNoName);
  }
  const TResult<bool> exists = CheckTarget(path);
  if (!exists) {
    return exists.Error();
  }
  return WriteThroughTemp(path, bytes, exists.Value());
}

}  // namespace korvane
