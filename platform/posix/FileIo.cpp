#include "platform/FileIo.h"

#include <unistd.h>

#include <cerrno>

namespace korvane {
namespace {

constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

// One write at the file position or, with an offset, at that offset.
ssize_t WriteOnce(int fd, std::string_view bytes, const std::uint64_t* offset) {
  return offset ? ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(*offset))
                : ::write(fd, bytes.data(), bytes.size());
}

TStatus WriteEverything(int fd, std::string_view bytes, std::uint64_t* offset) {
  while (!bytes.empty()) {
    const ssize_t put = WriteOnce(fd, bytes, offset);
    if (put < 0 && errno != EINTR) {
      return LastSystemError("cannot write the file");
    }
    if (put > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(put));
      if (offset) {
        *offset += static_cast<std::uint64_t>(put);
      }
    }
  }
  return {};
}

}  // namespace

TStatus WriteAll(int fd, std::string_view bytes) {
  return WriteEverything(fd, bytes, nullptr);
}

TStatus WriteAllAt(int fd, std::string_view bytes, std::uint64_t offset) {
  return WriteEverything(fd, bytes, &offset);
}

TResult<std::string> ReadAll(int fd) {
  std::string bytes;
  char buffer[kReadChunk];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) {
      return bytes;
    }
    if (got < 0 && errno != EINTR) {
      return LastSystemError("cannot read the file");
    }
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
  }
}

TResult<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t length) {
  std::string data(length, '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t got =
        ::pread(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return LastSystemError("cannot read the file");
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  data.resize(done);
  return data;
}

}  // namespace korvane
