#include "cli/ImageFolder.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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
// The file is new (never one already there, nor through a link).
TStatus ProbeWritable(const std::string& folder) {
  const std::string probe = folder + ".korvane-probe-" + std::to_string(std::random_device{}());
#ifdef _WIN32
  const int fd = ::_open(probe.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
#else
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    return TError{LastSystemErrorCode(), {}};
  }
#ifdef _WIN32
  ::_close(fd);
#else
  ::close(fd);
#endif
  std::remove(probe.c_str());
  return {};
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
