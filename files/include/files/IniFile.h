#pragma once

#include <optional>
#include <string>
#include <string_view>

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
// so that text which code page 936 cannot hold survives elsewhere in it; its
// load opens the system's conversion once for every lookup and edit after it.
class IniFile {
 public:
  // `codePage` is the 8-bit text's code page, kTextCodePage but in tests.
  explicit IniFile(std::string path, unsigned codePage = kTextCodePage)
      : path_(std::move(path)), codePage_(codePage) {}

  // True when the file was read, false when there is none (the document is
  // empty); fails when the file exists but cannot be read, or has a mark and
  // the system has no conversion for it (the document is empty too).
  [[nodiscard]] TResult<bool> Load();
  // Writes the document over the file; fails when that fails, and always
  // after a failed load, whose file must not be overwritten.
  [[nodiscard]] TStatus Save();

  // Names and values are in code page 936 whatever the file's encoding.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  // Fails, changing nothing, for names or a value the document cannot hold
  // (see IniDocument::Set).
  [[nodiscard]] TStatus Set(std::string_view section, std::string_view key, std::string_view value);

  // How the file was encoded when loaded; a save keeps it.
  TextEncoding Encoding() const { return encoding_; }

  const std::string& Path() const { return path_; }
  const IniDocument& Document() const { return document_; }

 private:
  // Between code page 936 and the text the document holds.
  std::string ToDocument(std::string_view text) const;
  std::string FromDocument(std::string_view text) const;
  TResult<bool> Unreadable(TError why);

  std::string path_;
  unsigned codePage_;
  IniDocument document_;
  TextEncoding encoding_ = TextEncoding::kCodePage;
  // Present whenever the encoding is not the code page's own.
  std::optional<CodePageConverter> converter_;
  std::optional<TError> unreadable_;  // why the last load failed
};

// One lookup with the platform's per-call semantics: the value (at most
// kMaxProfileValueChars bytes), or the default for an absent or unreadable
// file, section or key.
std::string GetProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback);

// One write with the platform's per-call semantics: creates the file, section
// and key as needed and keeps everything else. Fails when the file cannot be
// read or written, or the names or value cannot be held (see IniDocument::Set).
[[nodiscard]] TStatus WriteProfileString(const std::string& file, std::string_view section,
                                         std::string_view key, std::string_view value);

}  // namespace korvane
