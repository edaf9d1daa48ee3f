#pragma once

#include <string>
#include <string_view>

#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {

// A descriptor of the C runtime on Windows (whose append mode, unlike a
// HANDLE's, moves to the end before each write), a file descriptor elsewhere.
struct TAppendFdTraits {
  using Native = int;
  static constexpr int kNone = -1;
  static bool IsValid(int fd) { return fd >= 0; }
  static bool Close(int fd);
};

// A file written only at its end, which other threads and processes may be
// appending to at the same time (a log). Each Append is one write, so what it
// writes lands whole at the end, never interleaved with another writer's.
class TAppendFile {
 public:
  // Opens `path` for appending, creating it when there is none. A link at
  // that name is refused rather than followed (on POSIX systems).
  [[nodiscard]] static TResult<TAppendFile> Open(const std::string& path);

  // Writes `bytes` with one write. A write cut short fails with "no space
  // left on device": writing the rest later could put it after another
  // writer's bytes.
  [[nodiscard]] TStatus Append(std::string_view bytes);

  // Closes now: a file system may report a failed write only then.
  [[nodiscard]] TStatus Close();

 private:
  explicit TAppendFile(int fd) : file_(fd) {}

  TUniqueHandle<TAppendFdTraits> file_;
};

}  // namespace korvane
