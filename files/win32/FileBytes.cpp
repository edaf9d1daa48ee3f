#include "files/FileBytes.h"

#include <string>

#include <windows.h>

#include "platform/FileIo.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

constexpr int kTempNameAttempts = 100;

// The system's words for `error`, in English where the system has them.
std::string SystemMessage(DWORD error) {
  char text[512];
  for (DWORD language :
       {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), static_cast<DWORD>(0)}) {
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, language, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
      --length;
    }
    if (length > 0) {
      return std::string(text, length);
    }
  }
  return "error " + std::to_string(error);
}

FileReason ReasonOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileReason::kDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileReason::kNoSpace;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileReason::kMissing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileReason::kInUse;
    case ERROR_FILE_TOO_LARGE:
      return FileReason::kTooLarge;
    default:
      return FileReason::kOther;
  }
}

FileError Failure(FileStep step, const std::string& path, DWORD code) {
  FileError error;
  error.Step = step;
  error.Path = path;
  error.Reason = ReasonOf(code);
  error.SystemText = SystemMessage(code);
  error.SystemCode = std::error_code(static_cast<int>(code), std::system_category());
  return error;
}

FileError NotRegular(const std::string& path) {
  FileError error;
  error.Step = FileStep::kNotRegular;
  error.Path = path;
  return error;
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
// `exists` tells whether there is one.
bool CheckTarget(const std::string& path, bool& exists, FileError& error) {
  exists = false;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A missing folder on the way is the folder's problem: creating the
    // temporary file in it fails and says so, as on Linux.
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return true;
    }
    error = Failure(FileStep::kWrite, path, code);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = NotRegular(path);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = Failure(FileStep::kWrite, path, ERROR_ACCESS_DENIED);
    return false;
  }
  exists = true;
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

bool WriteInPlace(const std::string& path, std::string_view bytes, DWORD folderError,
                  FileError& error) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD failure = file.Valid() ? Overwrite(file.Get(), bytes) : ::GetLastError();
  if (!file.Close() && failure == 0) {
    failure = ::GetLastError();
  }
  if (failure == 0) {
    return true;
  }
  error = Failure(FileStep::kWriteInPlace, path, failure);
  error.FolderReason = ReasonOf(folderError);
  error.FolderSystemText = SystemMessage(folderError);
  return false;
}

// 0 or the system's code for the first step that failed.
DWORD FillTemp(HANDLE file, std::string_view bytes) {
  if (const TStatus written = WriteAll(file, bytes); !written) {
    return CodeOf(written.Error());
  }
  return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

bool Replace(const std::string& path, std::string_view bytes, FileError& error) {
  error = FileError{};
  if (path.empty()) {
    error.Step = FileStep::kNoName;
    return false;
  }
  bool exists = false;
  if (!CheckTarget(path, exists, error)) {
    return false;
  }
  std::string tempName;
  UniqueHandle temp(CreateTempBeside(path, tempName));
  if (!temp.Valid()) {
    // A folder we may not write in (not a full one: there an overwrite could
    // stop halfway) leaves the file itself, if we may write it.
    const DWORD folderError = ::GetLastError();
    if (exists && ReasonOf(folderError) == FileReason::kDenied) {
      return WriteInPlace(path, bytes, folderError, error);
    }
    error = Failure(FileStep::kCreateBeside, path, folderError);
    return false;
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
    error = Failure(FileStep::kWrite, path, failure);
    ::DeleteFileA(tempName.c_str());
    return false;
  }
  return true;
}

}  // namespace

FileContents ReadFileBytes(const std::string& path) {
  FileContents contents;
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = ::GetLastError();
    contents.status = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                          ? ReadStatus::kMissing
                          : ReadStatus::kFailed;
    contents.SetFailure(Failure(FileStep::kRead, path, code));
    return contents;
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(NotRegular(path));
    return contents;
  }
  TResult<std::string> bytes = ReadAll(file.Get());
  if (!bytes) {
    contents.status = ReadStatus::kFailed;
    contents.SetFailure(Failure(FileStep::kRead, path, CodeOf(bytes.Error())));
    return contents;
  }
  contents.bytes = std::move(bytes).Value();
  contents.status = ReadStatus::kRead;
  return contents;
}

TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes, FileError* failure) {
  FileError error;
  const bool replaced = Replace(path, bytes, error);
  return FileOutcome(replaced, error, failure);
}

}  // namespace korvane
