#include "cli/ImageFolder.h"

#include <filesystem>
#include <random>

#include "platform/WriteProbe.h"

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
TStatus ProbeWritable(const std::string& folder) {
  return ProbeNewFile(folder + ".korvane-probe-");
}

TResult<std::string> MakePrivateFolder() {
  std::error_code code;
  const fs::path base = fs::temp_directory_path(code);
  if (code) {
    return TError{code, "no temporary folder for the image files: " + code.message() +
                            "; name a folder with --image-dir"};
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
  const std::string cause = code ? code.message() : std::string("names taken");
  return TError{code ? code : std::make_error_code(std::errc::file_exists),
                "cannot make a temporary folder for the image files in " + base.string() + ": " +
                    cause + "; name a folder with --image-dir"};
}

}  // namespace

TImageFolder::~TImageFolder() {
  if (owned_) {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
}

TStatus TImageFolder::Prepare(const std::string& given) {
  if (given.empty()) {
    TResult<std::string> made = MakePrivateFolder();
    if (!made) {
      return made.Error();
    }
    path_ = std::move(made).Value();
    owned_ = true;
    return {};
  }
  std::error_code code;
  if (!fs::is_directory(given, code)) {
    const bool exists = fs::exists(given, code);
    return TError{std::make_error_code(exists ? std::errc::not_a_directory
                                              : std::errc::no_such_file_or_directory),
                  "--image-dir " + given + ": " + (exists ? "not a folder" : "no such folder") +
                      "; create it or name another with --image-dir"};
  }
  path_ = WithSeparator(given);
  if (const TStatus writable = ProbeWritable(path_); !writable) {
    return TError{writable.Error().Code,
                  "--image-dir " + given + ": cannot write the image file there (" +
                      writable.Message() + "); name another folder with --image-dir"};
  }
  return {};
}

}  // namespace korvane::cli
