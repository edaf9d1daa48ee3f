#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace korvane {

#ifdef _WIN32
using TNativeFile = void*;  // HANDLE, without <windows.h> in every file
#else
using TNativeFile = int;
#endif

// Writes all of `bytes` at the file position, going on after a short write
// (and, on POSIX, after an interrupted one).
[[nodiscard]] TStatus WriteAll(TNativeFile file, std::string_view bytes);

// The same at `offset`. On POSIX the file position stays where it was.
[[nodiscard]] TStatus WriteAllAt(TNativeFile file, std::string_view bytes, std::uint64_t offset);

// Everything from the file position to the end of the file.
[[nodiscard]] TResult<std::string> ReadAll(TNativeFile file);

// Up to `length` bytes at `offset`: fewer only at the end of the file.
[[nodiscard]] TResult<std::string> ReadAt(TNativeFile file, std::uint64_t offset,
                                          std::size_t length);

}  // namespace korvane
