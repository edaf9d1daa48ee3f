#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace korvane::test {

// A fresh directory in `parent`, removed with everything in it at the end of
// the test.
class TempDir {
 public:
  explicit TempDir(const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
#ifdef _WIN32
    std::mt19937_64 generator{std::random_device{}()};
    for (int attempt = 0; path_.empty(); ++attempt) {
      const auto candidate = parent / ("korvane-test-" + std::to_string(generator() % 1000000000));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
      } else if (attempt > 100) {
        throw std::runtime_error("no temporary directory could be made");
      }
    }
#else
    std::string pattern = (parent / "korvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
#endif
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }

  std::string File(const std::string& name) const {
    return (path_ / name).string();
  }
  const std::filesystem::path& Path() const {
    return path_;
  }

  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                  std::filesystem::directory_iterator()));
  }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

}  // namespace korvane::test
