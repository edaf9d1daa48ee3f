#include "files/IniFile.h"

#include "files/FileBytes.h"

namespace korvane {

LoadStatus IniFile::Load() {
  auto contents = ReadFileBytes(path_);
  document_ = IniDocument::Parse(contents.bytes);
  unreadable_ = contents.status == ReadStatus::kFailed;
  switch (contents.status) {
    case ReadStatus::kRead:
      failure_ = FileError{};
      return LoadStatus::kLoaded;
    case ReadStatus::kMissing:
      failure_ = FileError{};
      return LoadStatus::kMissing;
    case ReadStatus::kFailed:
      break;
  }
  failure_ = std::move(contents.failure);
  return LoadStatus::kUnreadable;
}

bool IniFile::Save() {
  if (unreadable_) {
    return false;  // failure_ still says why the file could not be read
  }
  return ReplaceFileBytes(path_, document_.Serialize(), failure_);
}

std::string GetProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback) {
  IniFile ini(file);
  ini.Load();
  return ini.Get(section, key, fallback);
}

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  IniFile ini(file);
  ini.Load();
  return ini.Set(section, key, value) && ini.Save();
}

}  // namespace korvane
