#pragma once

#include <string>
#include <string_view>

#include "files/FileError.h"

namespace korvane {

enum class ReadStatus {
  kRead,     // the file's bytes were read
  kMissing,  // no file by that name (nor a directory on its way)
  kFailed,   // the file exists but cannot be read (permission, a directory, a device ...)
};

struct FileContents {
  ReadStatus status = ReadStatus::kMissing;
  std::string bytes;
  std::string error;  // why, for kFailed, in English
  FileError failure;  // the same, for texts in other languages

  void SetFailure(FileError why) {
    error = EnglishText(why);
    failure = std::move(why);
  }
};

// Reads a whole regular file. Never blocks on a FIFO or a device.
[[nodiscard]] FileContents ReadFileBytes(const std::string& path);

// Replaces the contents of a file as one step: the bytes go to a temporary
// file in the target's directory, are flushed to the disk and then renamed over
// the target, so a full disk or a failing write leaves the old file whole.
// A symbolic link is followed and its final target replaced; an existing
// target keeps its permission bits (and, where allowed, its owner) and must be
// a regular file that we may write. Being a new file, the target loses other
// hard links to it. On failure nothing changes, no temporary file is left and
// the error says why in English; `failure`, when given, gets the same for
// texts in other languages (and is cleared on success).
// A writable file in a folder that we may not write in cannot be replaced
// that way: it is overwritten in place instead (written, cut to length and
// flushed to the disk), which a failure can leave half written.
[[nodiscard]] TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes,
                                       FileError* failure = nullptr);

}  // namespace korvane
