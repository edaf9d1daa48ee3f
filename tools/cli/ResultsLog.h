#pragma once

#include <mutex>
#include <string>

namespace korvane::cli {

// A station's results log: JSON lines appended to one file. Each line is
// written with one append, so lines of ports (or programs) finishing at the
// same moment never mix.
class TResultsLog {
 public:
  explicit TResultsLog(std::string path) : path_(std::move(path)) {}

  // Checks that the file can be opened for appending; false with the reason.
  bool CheckWritable(std::string& error) const;
  // Appends `line` and a line end; false with the reason when it fails.
  bool Append(const std::string& line, std::string& error);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::mutex lock_;
};

}  // namespace korvane::cli
