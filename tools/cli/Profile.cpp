#include "cli/Profile.h"

#include <array>

#include "files/IniDocument.h"
#include "platform/FileBytes.h"
#include "platform/Folders.h"
#include "platform/SystemError.h"

namespace korvane::cli {
namespace {

constexpr std::array<const char*, 7> kProfileKeys = {"ports",   "matches",  "baud", "log",
                                                     "station", "operator", "batch"};

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string DefaultProfilePath() {
  const TResult<std::string> folder = ConfigFolder();
  return folder ? folder.Value() + "cli.ini" : std::string();
}

TResult<std::vector<TProfileEntry>> ReadProfile(const std::string& named) {
  const std::string path = named.empty() ? DefaultProfilePath() : named;
  if (path.empty()) {
    return std::vector<TProfileEntry>{};
  }
  const TResult<std::optional<std::string>> contents = ReadFileBytes(path);
  if (contents && !contents.Value() && named.empty()) {
    return std::vector<TProfileEntry>{};  // no defaults kept: none apply
  }
  if (!contents) {
    return MakeError(TextId::kCliProfileUnreadable, {path, contents.Message()});
  }
  if (!contents.Value()) {
    // The reason in the system's words (ENOENT's for a file named but missing).
    return MakeError(
        TextId::kCliProfileUnreadable,
        {path, SystemErrorText(std::make_error_code(std::errc::no_such_file_or_directory))});
  }
  const IniDocument document = IniDocument::Parse(*contents.Value());
  std::vector<TProfileEntry> entries;
  for (const char* key : kProfileKeys) {
    const std::string value = Trimmed(document.Get(kProfileSection, key, ""));
    if (!value.empty()) {
      entries.push_back({key, value, path + ": " + key});
    }
  }
  return entries;
}

std::vector<std::string> ProfileList(const std::string& value) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= value.size()) {
    const std::size_t comma = value.find(',', start);
    const std::size_t end = comma == std::string::npos ? value.size() : comma;
    if (std::string item = Trimmed(value.substr(start, end - start)); !item.empty()) {
      items.push_back(std::move(item));
    }
    start = end + 1;
  }
  return items;
}

}  // namespace korvane::cli
