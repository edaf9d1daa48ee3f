#include "files/FileBytes.h"

#include <string>

#include <windows.h>

namespace korvane {
namespace {

constexpr int kTempNameAttempts = 100;

std::string SystemMessage(DWORD error) {
  char text[512];
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
}

std::string Describe(const std::string& what, const std::string& path, DWORD error) {
  return what + " " + path + ": " + SystemMessage(error);
}

void SetError(std::string* error, std::string text) {
  if (error) {
    *error = std::move(text);
  }
}

class THandle {
 public:
  explicit THandle(HANDLE handle) : handle_(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle);
  }

 private:
  HANDLE handle_;
};

bool ReadAll(HANDLE file, std::string& bytes) {
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      return false;
    }
    if (got == 0) {
      return true;
    }
    bytes.append(buffer, got);
  }
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
        put == 0) {
      return false;
    }
    bytes.remove_prefix(put);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a fresh temporary file beside the target; fills `name`.
HANDLE CreateTempBeside(const std::string& path, std::string& name) {
  const std::string base = DirectoryOf(path) + "~" + std::to_string(::GetCurrentProcessId());
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    name = base + "-" + std::to_string(::GetTickCount64() + attempt) + ".tmp";
    HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      return file;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// An existing target must be a file we may write; read-only files are refused.
bool CheckTarget(const std::string& path, std::string* error) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) {
      return true;
    }
    SetError(error, Describe("cannot write", path, code));
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    SetError(error, "cannot write " + path + ": not a regular file");
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetError(error, Describe("cannot write", path, ERROR_ACCESS_DENIED));
    return false;
  }
  return true;
}

}  // namespace

FileContents ReadFileBytes(const std::string& path) {
  FileContents contents;
  THandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = ::GetLastError();
    contents.status = (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                          ? ReadStatus::kMissing
                          : ReadStatus::kFailed;
    contents.error = Describe("cannot read", path, code);
    return contents;
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    contents.status = ReadStatus::kFailed;
    contents.error = "cannot read " + path + ": not a regular file";
    return contents;
  }
  if (!ReadAll(file.Get(), contents.bytes)) {
    contents.status = ReadStatus::kFailed;
    contents.error = Describe("cannot read", path, ::GetLastError());
    contents.bytes.clear();
    return contents;
  }
  contents.status = ReadStatus::kRead;
  return contents;
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, std::string* error) {
  if (path.empty()) {
    SetError(error, "cannot write a file without a name");
    return false;
  }
  if (!CheckTarget(path, error)) {
    return false;
  }
  std::string tempName;
  THandle temp(CreateTempBeside(path, tempName));
  if (!temp.Valid()) {
    SetError(error, Describe("cannot create a file beside", path, ::GetLastError()));
    return false;
  }
  DWORD failure = 0;
  if (!WriteAll(temp.Get(), bytes) || !::FlushFileBuffers(temp.Get())) {
    failure = ::GetLastError();
  }
  if (!temp.Close() && failure == 0) {
    failure = ::GetLastError();
  }
  if (failure == 0 && !::MoveFileExA(tempName.c_str(), path.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    failure = ::GetLastError();
  }
  if (failure != 0) {
    SetError(error, Describe("cannot write", path, failure));
    ::DeleteFileA(tempName.c_str());
    return false;
  }
  return true;
}

}  // namespace korvane
