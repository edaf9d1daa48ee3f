#include "device/ImageFolder.h"

#include <filesystem>
#include <system_error>

#include "device/ConfigImage.h"

namespace korvane {

std::string ImageDirectoryFor(const std::string& programDirectory,
                              const std::string& stateDirectory) {
  if (stateDirectory.empty() || ImageFileProblem(ConfigFilePathIn(programDirectory)).empty()) {
    return programDirectory;
  }
  std::error_code ignored;  // a folder that cannot be made is reported when the image is built
  std::filesystem::create_directories(stateDirectory, ignored);
  return stateDirectory;
}

}  // namespace korvane
