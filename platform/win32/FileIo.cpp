#include "platform/FileIo.h"

#include <windows.h>

namespace korvane {
namespace {

constexpr DWORD kReadChunk = 64 * 1024;

OVERLAPPED AtOffset(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

// Writes at the file position, or at `*offset` when given.
TStatus WriteEverything(HANDLE file, std::string_view bytes, std::uint64_t* offset) {
  while (!bytes.empty()) {
    OVERLAPPED position = AtOffset(offset ? *offset : 0);
    DWORD put = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put,
                     offset ? &position : nullptr) ||
        put == 0) {
      return LastSystemError("cannot write the file");
    }
    bytes.remove_prefix(put);
    if (offset) {
      *offset += put;
    }
  }
  return {};
}

}  // namespace

TStatus WriteAll(void* file, std::string_view bytes) {
  return WriteEverything(file, bytes, nullptr);
}

TStatus WriteAllAt(void* file, std::string_view bytes, std::uint64_t offset) {
  return WriteEverything(file, bytes, &offset);
}

TResult<std::string> ReadAll(void* file) {
  std::string bytes;
  char buffer[kReadChunk];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      return LastSystemError("cannot read the file");
    }
    if (got == 0) {
      return bytes;
    }
    bytes.append(buffer, got);
  }
}

TResult<std::string> ReadAt(void* file, std::uint64_t offset, std::size_t length) {
  std::string data(length, '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED position = AtOffset(offset + done);
    DWORD got = 0;
    if (!::ReadFile(file, data.data() + done, static_cast<DWORD>(data.size() - done), &got,
                    &position)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) {
        break;
      }
      return LastSystemError("cannot read the file");
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  data.resize(done);
  return data;
}

}  // namespace korvane
