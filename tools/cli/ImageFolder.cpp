#include "cli/ImageFolder.h"

#include <filesystem>
#include <random>

#include "platform/WriteProbe.h"

#include "platform/SystemError.h"

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
    return MakeError(TextId::kCliNoTempFolder, {SystemErrorText(code)}, code);
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
  // Without a code of its own, every name tried was taken.
  const std::error_code cause = code ? code : std::make_error_code(std::errc::file_exists);
  return MakeError(TextId::kCliTempFolderFailed, {base.string(), SystemErrorText(cause)}, cause);
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
    return exists ? MakeError(TextId::kCliImageDirNotFolder, {given},
                              std::make_error_code(std::errc::not_a_directory))
                  : MakeError(TextId::kCliImageDirMissing, {given},
                              std::make_error_code(std::errc::no_such_file_or_directory));
  }
  path_ = WithSeparator(given);
  if (const TStatus writable = ProbeWritable(path_); !writable) {
    return MakeError(TextId::kCliImageDirUnwritable,
                     {given, SystemErrorText(writable.Error().Code)}, writable.Error().Code);
  }
  return {};
}

}  // namespace korvane::cli
