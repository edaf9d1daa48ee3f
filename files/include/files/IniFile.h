#pragma once

#include <string>
#include <string_view>

#include <optional>

#include "files/IniDocument.h"
#include "files/TextEncoding.h"
#include "platform/Result.h"

namespace korvane {

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

  // True when the file was read, false when there is none (the document is
  // empty); fails when the file exists but cannot be read (the document is
  // empty too).
  [[nodiscard]] TResult<bool> Load();
  // Writes the document over the file; fails when that fails, and always
  // after a failed load, whose file must not be overwritten.
  [[nodiscard]] TStatus Save();

  // Names and values are in code page 936 whatever the file's encoding.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // How the file was encoded when loaded; a save keeps it.
  TextEncoding Encoding() const { return encoding_; }

  const std::string& Path() const { return path_; }
  const IniDocument& Document() const { return document_; }

 private:
  std::string path_;
  IniDocument document_;
  // Between code page 936 and the text the document holds.
  std::string ToDocument(std::string_view text) const;
  std::string FromDocument(std::string_view text) const;

  TextEncoding encoding_ = TextEncoding::kCodePage;
  std::optional<TError> unreadable_;  // why the last load failed
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
