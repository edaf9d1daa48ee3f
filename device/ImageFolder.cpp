#include "device/ImageFolder.h"

#include <filesystem>
#include <system_error>

#include "device/ConfigImage.h"
#include "platform/Folders.h"

namespace korvane {

std::string ImageDirectoryFor(const TResult<std::string>& programFolder,
                              const TResult<std::string>& stateFolder) {
#ifdef _WIN32
  constexpr const char* kWorkingFolder = ".\\";
#else
  constexpr const char* kWorkingFolder = "./";
#endif
  std::string program = programFolder ? programFolder.Value() : kWorkingFolder;
  std::error_code ignored;  // a marker that cannot be seen is not there
  const bool installed = std::filesystem::exists(program + kInstalledMarker, ignored);
  if (!stateFolder || (!installed && ImageFileProblem(ConfigFilePathIn(program)).Ok())) {
    return program;
  }
  // A folder that cannot be made is reported when the image is built.
  std::filesystem::create_directories(stateFolder.Value(), ignored);
  return stateFolder.Value();
}

std::string ImageDirectory() {
  return ImageDirectoryFor(ExecutableFolder(), StateFolder());
}

}  // namespace korvane
