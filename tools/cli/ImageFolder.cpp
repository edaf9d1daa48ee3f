#include "cli/ImageFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
    folder.push_back('/');
  }
  return folder;
}

// Creates and removes a file in `folder`: the system's own answer to whether
// an image can be written there (permission, read-only file system, quota).
std::string ProbeWritable(const std::string& folder) {
  const std::string probe = folder + ".korvane-probe-" + std::to_string(std::random_device{}());
  std::FILE* file = std::fopen(probe.c_str(), "wb");
  if (file == nullptr) {
    return std::strerror(errno);
  }
  std::fclose(file);
  std::remove(probe.c_str());
  return {};
}

std::string MakePrivateFolder(std::string& error) {
  std::error_code code;
  const fs::path base = fs::temp_directory_path(code);
  if (code) {
    error = "no temporary folder for the image files: " + code.message() +
            "; name a folder with --image-dir";
    return {};
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = base / ("korvane-cli-" + std::to_string(random()));
    if (fs::create_directory(folder, code)) {
      fs::permissions(folder, fs::perms::owner_all, code);
      return WithSeparator(folder.string());
    }
    if (code) {
      break;
    }
  }
  error = "cannot make a temporary folder for the image files in " + base.string() + ": " +
          (code ? code.message() : std::string("names taken")) + "; name a folder with --image-dir";
  return {};
}

}  // namespace

TImageFolder::~TImageFolder() {
  if (owned_) {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
}

bool TImageFolder::Prepare(const std::string& given, std::string& error) {
  if (given.empty()) {
    path_ = MakePrivateFolder(error);
    owned_ = !path_.empty();
    return owned_;
  }
  std::error_code code;
  if (!fs::is_directory(given, code)) {
    error = "--image-dir " + given + ": " +
            (fs::exists(given, code) ? "not a folder" : "no such folder") +
            "; create it or name another with --image-dir";
    return false;
  }
  path_ = WithSeparator(given);
  if (const std::string cause = ProbeWritable(path_); !cause.empty()) {
    error = "--image-dir " + given + ": cannot write the image file there (" + cause +
            "); name another folder with --image-dir";
    return false;
  }
  return true;
}

}  // namespace korvane::cli
