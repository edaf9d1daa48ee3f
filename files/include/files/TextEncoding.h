#pragma once

#include <string>
#include <string_view>

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

// Between UTF-8 and code page 936, as the system converts for its 8-bit
// services: a character that the target cannot hold becomes '?'.
std::string Utf8ToCodePage(std::string_view text);
std::string CodePageToUtf8(std::string_view text);

}  // namespace korvane
