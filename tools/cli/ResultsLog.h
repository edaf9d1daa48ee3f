#pragma once

#include <mutex>
#include <string>

#include "platform/Result.h"

namespace korvane::cli {

// A station's results log: JSON lines appended to one file. Each line is
// written with one append, so lines of ports (or programs) finishing at the
// same moment never mix.
class TResultsLog {
 public:
  explicit TResultsLog(std::string path) : path_(std::move(path)) {}

  // Checks that the file can be opened for appending.
  [[nodiscard]] TStatus CheckWritable() const;
  // Appends `line` and a line end.
  [[nodiscard]] TStatus Append(const std::string& line);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::mutex lock_;
};

}  // namespace korvane::cli
