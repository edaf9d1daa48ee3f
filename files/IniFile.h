#pragma once

#include <string>
#include <string_view>

#include "files/FileError.h"
#include "files/IniDocument.h"

namespace korvane {

enum class LoadStatus {
  kLoaded,      // the file was read
  kMissing,     // no such file: the document is empty
  kUnreadable,  // the file exists but cannot be read: the document is empty, Failure() says why
};

// An INI file loaded once, read and edited in memory, and written back as a
// whole in one step (see ReplaceFileBytes), so a failed save leaves the file
// as it was.
class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  LoadStatus Load();
  // Writes the document over the file; false (with Failure()) when that fails,
  // and always after a kUnreadable load, whose file must not be overwritten.
  bool Save();

  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const {
    return document_.Get(section, key, fallback);
  }
  bool Set(std::string_view section, std::string_view key, std::string_view value) {
    return document_.Set(section, key, value);
  }

  const std::string& Path() const { return path_; }
  const IniDocument& Document() const { return document_; }
  const FileError& Failure() const { return failure_; }
  std::string Error() const { return EnglishText(failure_); }

 private:
  std::string path_;
  IniDocument document_;
  FileError failure_;
  bool unreadable_ = false;
};

// One lookup with the platform's per-call semantics: the value (at most
// kMaxProfileValueChars bytes), or the default for an absent or unreadable
// file, section or key.
std::string GetProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback);

// One write with the platform's per-call semantics: creates the file, section
// and key as needed and keeps everything else. False when the file cannot be
// read or written, or the names or value cannot be held (see IniDocument::Set).
bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace korvane
