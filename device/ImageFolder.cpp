#include "device/ImageFolder.h"

#include <filesystem>
#include <system_error>

#include "device/ConfigImage.h"
#include "platform/Folders.h"

namespace korvane {

std::string ExecutableDirectory() {
#ifdef _WIN32
  constexpr const char* kWorkingFolder = ".\\";
#else
  constexpr const char* kWorkingFolder = "./";
#endif
  // Without the program's folder the image goes to the working folder, which
  // is checked like any other before it is used.
  TResult<std::string> folder = ExecutableFolder();
  return folder ? std::move(folder).Value() : kWorkingFolder;
}

std::string UserStateDirectory() {
  TResult<std::string> folder = StateFolder();
  return folder ? std::move(folder).Value() : std::string();
}

std::string ImageDirectoryFor(const std::string& programDirectory,
                              const std::string& stateDirectory) {
  std::error_code ignored;  // a marker that cannot be seen is not there
  const bool installed = std::filesystem::exists(programDirectory + kInstalledMarker, ignored);
  if (stateDirectory.empty() ||
      (!installed && ImageFileProblem(ConfigFilePathIn(programDirectory)).Ok())) {
    return programDirectory;
  }
  // A folder that cannot be made is reported when the image is built.
  std::filesystem::create_directories(stateDirectory, ignored);
  return stateDirectory;
}

}  // namespace korvane
