#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace korvane::fuzz {

// A private folder for the files a target writes, on tmpfs where there is one
// (the code flushes every file it saves), removed when the run ends.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    pattern += "/korvane-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace korvane::fuzz
