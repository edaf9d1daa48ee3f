#pragma once

#include <filesystem>

#include "tests/support/TempDir.h"

namespace korvane::test {

// A private folder for the files a target writes, on tmpfs where there is one
// (the code flushes every file it saves), removed when the run ends.
inline const TempDir& ScratchFolder() {
  static const TempDir folder(std::filesystem::is_directory("/dev/shm")
                                  ? std::filesystem::path("/dev/shm")
                                  : std::filesystem::temp_directory_path());
  return folder;
}

}  // namespace korvane::test
