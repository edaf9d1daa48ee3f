#include "cli/ResultsLog.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/Result.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korvane::cli {
namespace {

#ifdef _WIN32
// A C runtime descriptor: its append mode, unlike a HANDLE's, moves to the end
// before each write.
struct TCrtFdTraits {
  using Native = int;
  static constexpr int kNone = -1;
  static bool IsValid(int fd) { return fd >= 0; }
  static bool Close(int fd) { return ::_close(fd) == 0; }
};
using TLogFile = TUniqueHandle<TCrtFdTraits>;

TLogFile OpenForAppend(const std::string& path) {
  return TLogFile(::_open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644));
}
TStatus AppendAll(int fd, const std::string& bytes) {
  if (::_write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) ==
      static_cast<int>(bytes.size())) {
    return {};
  }
  return TError{std::error_code(errno, std::generic_category()), {}};
}
#else
using TLogFile = UniqueFd;

// A link at the log's name is refused, not followed.
TLogFile OpenForAppend(const std::string& path) {
  // A link at the log's name is not followed: the open fails and says so.
  return TLogFile(
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
}
// One write per line: with O_APPEND it lands whole at the end of the file,
// never interleaved with another process's line. A write cut short (a full
// disk) is a failure; writing the rest would put it after someone else's line.
TStatus AppendAll(int fd, const std::string& bytes) {
  ssize_t written = -1;
  do {
    written = ::write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    return TError{LastSystemErrorCode(), {}};
  }
  if (static_cast<std::size_t>(written) != bytes.size()) {
    // Cut short: the disk is full.
    return TError{std::make_error_code(std::errc::no_space_on_device), {}};
  }
  return {};
}
#endif

// The log's failure: its path and the system's words.
TError LogError(TextId id, const std::string& path, std::error_code code) {
  return MakeError(id, {path, SystemErrorText(code)}, code);
}

}  // namespace

TStatus TResultsLog::CheckWritable() const {
  if (!OpenForAppend(path_).Valid()) {
    return LogError(TextId::kCliLogUnopenable, path_, LastSystemErrorCode());
  }
  return {};
}

TStatus TResultsLog::Append(const std::string& line) {
  std::lock_guard guard(lock_);
  TLogFile file = OpenForAppend(path_);
  if (!file.Valid()) {
    return LogError(TextId::kCliLogAppendFailed, path_, LastSystemErrorCode());
  }
  if (const TStatus written = AppendAll(file.Get(), line + "\n"); !written) {
    return LogError(TextId::kCliLogAppendFailed, path_, written.Error().Code);
  }
  // A file system may report a failed write only when the file is closed.
  if (!file.Close()) {
    return LogError(TextId::kCliLogAppendFailed, path_, LastSystemErrorCode());
  }
  return {};
}

}  // namespace korvane::cli
