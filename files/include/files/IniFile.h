#pragma once

#include <string>
#include <string_view>

#include "files/FileError.h"
#include "files/IniDocument.h"
#include "files/TextEncoding.h"

namespace korvane {

enum class LoadStatus {
  kLoaded,      // the file was read
  kMissing,     // no such file: the document is empty
  kUnreadable,  // the file exists but cannot be read: the document is empty, Failure() says why
};

// An INI file loaded once, read and edited in memory, and written back as a
// whole in one step (see ReplaceFileBytes), so a failed save leaves the file
// as it was.
//
// A file that starts with a UTF-8 or UTF-16 byte-order mark is read as the
// platform's profile services read it, its text converted to code page 936,
// and saved in its own encoding with its mark. Such a file is held as UTF-8,
// so that text which code page 936 cannot hold survives elsewhere in it.
class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  LoadStatus Load();
  // Writes the document over the file; fails (Failure() has the details) when
  // that fails, and always after a kUnreadable load, whose file must not be
  // overwritten.
  [[nodiscard]] TStatus Save();

  // Names and values are in code page 936 whatever the file's encoding.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // How the file was encoded when loaded; a save keeps it.
  TextEncoding Encoding() const { return encoding_; }

  const std::string& Path() const { return path_; }
  const IniDocument& Document() const { return document_; }
  const FileError& Failure() const { return failure_; }
  std::string Error() const { return EnglishText(failure_); }

 private:
  std::string path_;
  IniDocument document_;
  // Between code page 936 and the text the document holds.
  std::string ToDocument(std::string_view text) const;
  std::string FromDocument(std::string_view text) const;

  FileError failure_;
  TextEncoding encoding_ = TextEncoding::kCodePage;
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
