#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Longest value a lookup hands back, as with a 2048-character buffer of the
// platform's profile service.
inline constexpr std::size_t kMaxProfileValueChars = 2047;

// The text of an INI file held line by line, so that an edit touches only the
// line it changes and every other byte of the file survives unchanged.
//
// Reading rules:
// - Line ends are CRLF, LF or a lone CR; a UTF-8 byte order mark at the start
//   is kept but not part of the first line.
// - A line whose first non-blank byte is '[' and that holds a ']' is a section
//   header; the name is what lies between '[' and the first ']', trimmed.
// - A line whose first non-blank byte is ';' is a comment.
// - Any other line holding '=' is a key line: the key is the trimmed text
//   before the first '=', the value the trimmed text after it.
// - A value of two or more characters that starts and ends with the same
//   quotation mark, '"' or '\'', is read without those two marks ("0102" and
//   '0102' read 0102, "" reads empty); any other value is read as it stands.
//   A lookup sees the value without its quotes; a save writes values as given.
// - Lines before the first header and other lines belong to no key.
// - Section and key names match regardless of ASCII letter case; the first
//   matching section and, within it, the first matching key count.
// Blanks are space, tab, vertical tab, form feed and CR.
//
// Values are bytes passed through unchanged (GBK stays GBK). Blanks around a
// value do not survive a reading, as with the platform's service.
class IniDocument {
 public:
  static IniDocument Parse(std::string_view bytes);
  std::string Serialize() const;

  // The whole value of a key, or nothing when the section or key is absent.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // The value cut to kMaxProfileValueChars, or the default when absent.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;

  // Replaces the value of an existing key on its own line, or adds the key
  // after the last key line of its section, or adds the section at the end.
  // Added lines end like the file's first line (CRLF for a file without one).
  // Returns false, changing nothing, for a name or value that the format cannot
  // hold: a CR or LF anywhere, a key that is empty, holds '=', starts with '['
  // or ';' or has blanks around it, a section name holding ']' or with blanks
  // around it. The bool answers "can the document hold this"; the files that
  // report failures (IniFile::Set) turn a false into a result with the file's
  // name.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  static bool IsWritableSection(std::string_view section);
  static bool IsWritableKey(std::string_view key);
  static bool IsWritableValue(std::string_view value);

 private:
  struct Line {
    std::string text;
    std::string eol;  // "\r\n", "\n", "\r", or empty for a last line without one
  };

  std::optional<std::size_t> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t LastKeyLine(std::size_t header) const;
  void InsertLine(std::size_t at, std::string text);
  std::string AddedLineEnd() const;

  std::string bom_;
  std::vector<Line> lines_;
};

}  // namespace korvane
