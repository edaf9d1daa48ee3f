#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Result.h"

namespace korvane {

// Reads a whole regular file: its bytes, nothing when there is no file by that
// name (nor a folder on its way), or why it cannot be read (permission, a
// folder, a device ...). Never blocks on a FIFO or a device.
[[nodiscard]] TResult<std::optional<std::string>> ReadFileBytes(const std::string& path);

// Replaces the contents of a file as one step: the bytes go to a temporary
// file in the target's directory, are flushed to the disk and then renamed over
// the target, so a full disk or a failing write leaves the old file whole.
// A symbolic link is followed and its final target replaced; an existing
// target keeps its permission bits (and, where allowed, its owner) and must be
// a regular file that we may write. Being a new file, the target loses other
// hard links to it. On failure nothing changes and no temporary file is left.
// A writable file in a folder that we may not write in cannot be replaced
// that way: it is overwritten in place instead (written, cut to length and
// flushed to the disk), which a failure can leave half written.
[[nodiscard]] TStatus ReplaceFileBytes(const std::string& path, std::string_view bytes);

// A file operation's failure: `step` is one of the catalogue's file texts
// (kFileRead, kFileWrite ...), the reason comes from `code`, in words an
// operator can act on where the catalogue has them, else in the system's.
TError FileFailure(TextId step, const std::string& path, std::error_code code);

// Reading a file that does not exist, as ReadFileBytes would say it.
TError MissingFileError(const std::string& path);

}  // namespace korvane
