#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace korvane {

// How a text file is encoded, as its first bytes announce it.
enum class TextEncoding {
  kCodePage,  // no byte-order mark: the system's 8-bit code page (936, GBK)
  kUtf8,      // starts with EF BB BF
  kUtf16Le,   // starts with FF FE
  kUtf16Be,   // starts with FE FF
};

TextEncoding DetectEncoding(std::string_view bytes);

// The byte-order mark that starts a file of `encoding` (empty for kCodePage).
std::string_view ByteOrderMark(TextEncoding encoding);

// UTF-16 bytes (after the mark) as UTF-8. A lone surrogate or a last odd byte
// becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
// UTF-8 text as UTF-16 bytes, without a mark. A byte that does not start a
// valid sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian);

// The code page of the tools' 8-bit text (GBK).
inline constexpr unsigned kTextCodePage = 936;

// Between UTF-8 and a code page, as the system converts for its 8-bit
// services: a character that code page cannot hold becomes '?', bytes that are
// not text in it become U+FFFD. Opened once for many texts; one thread at a
// time (the system's converter keeps a state between calls).
class CodePageConverter {
 public:
  // Fails when the system has no conversion for `codePage` (a system without
  // its tables, or a number no system has).
  [[nodiscard]] static TResult<CodePageConverter> Open(unsigned codePage = kTextCodePage);

  CodePageConverter(CodePageConverter&&) noexcept;
  CodePageConverter& operator=(CodePageConverter&&) noexcept;
  ~CodePageConverter();

  std::string ToCodePage(std::string_view utf8) const;
  std::string ToUtf8(std::string_view text) const;

 private:
  struct Tables;  // the system's converter, one for each direction
  explicit CodePageConverter(std::unique_ptr<Tables> tables);
  std::unique_ptr<Tables> tables_;
};

// One text between UTF-8 and code page 936 with a converter opened for it.
// ASCII text needs no converter and never fails.
[[nodiscard]] TResult<std::string> Utf8ToCodePage(std::string_view text);
[[nodiscard]] TResult<std::string> CodePageToUtf8(std::string_view text);

}  // namespace korvane
