#pragma once

#include <string>

#include "platform/Result.h"

namespace korvane::cli {

// Where one run keeps its image files: the folder given with --image-dir, or
// a private temporary folder of its own that is removed with everything in it
// when the run ends, so that parallel runs never share an image file and
// nothing is left behind.
class TImageFolder {
 public:
  TImageFolder() = default;
  ~TImageFolder();
  TImageFolder(const TImageFolder&) = delete;
  TImageFolder& operator=(const TImageFolder&) = delete;

  // Uses `given`, or makes a private folder when it is empty. Fails, with the
  // cause and the way out, when the folder is missing or cannot take a file.
  [[nodiscard]] TStatus Prepare(const std::string& given);

  // The folder, ending in a separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool owned_ = false;
};

}  // namespace korvane::cli
