#include "files/TextEncoding.h"

#include <algorithm>
#include <cstdint>

namespace korvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUnit(std::string& out, std::uint16_t unit, bool bigEndian) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  out.push_back(bigEndian ? high : low);
  out.push_back(bigEndian ? low : high);
}

std::uint16_t UnitAt(std::string_view bytes, std::size_t at, bool bigEndian) {
  const auto first = static_cast<unsigned char>(bytes[at]);
  const auto second = static_cast<unsigned char>(bytes[at + 1]);
  return static_cast<std::uint16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
}

bool IsHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point that starts at `text[at]` and its length in bytes; a byte
// that starts no valid sequence gives U+FFFD and length 1.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    return {lead, 1};
  }
  std::size_t length = 0;
  char32_t c = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
  } else {
    return {kReplacement, 1};
  }
  if (at + length > text.size()) {
    return {kReplacement, 1};
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return {kReplacement, 1};
    }
    c = (c << 6) | (next & 0x3F);
  }
  const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < shortest[length] || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) {
    return {kReplacement, 1};
  }
  return {c, length};
}

}  // namespace

TextEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return TextEncoding::kUtf8;
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return TextEncoding::kUtf16Le;
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return TextEncoding::kUtf16Be;
  }
  return TextEncoding::kCodePage;
}

std::string_view ByteOrderMark(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "\xEF\xBB\xBF";
    case TextEncoding::kUtf16Le:
      return "\xFF\xFE";
    case TextEncoding::kUtf16Be:
      return "\xFE\xFF";
    case TextEncoding::kCodePage:
      break;
  }
  return {};
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  for (; at + 1 < bytes.size(); at += 2) {
    char32_t unit = UnitAt(bytes, at, bigEndian);
    if (IsHighSurrogate(unit) && at + 3 < bytes.size() &&
        IsLowSurrogate(UnitAt(bytes, at + 2, bigEndian))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (UnitAt(bytes, at + 2, bigEndian) - 0xDC00);
      at += 2;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      unit = kReplacement;
    }
    AppendUtf8(out, unit);
  }
  if (at < bytes.size()) {
    AppendUtf8(out, kReplacement);
  }
  return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = DecodeUtf8(text, at);
    at += length;
    if (c < 0x10000) {
      AppendUnit(out, static_cast<std::uint16_t>(c), bigEndian);
    } else {
      AppendUnit(out, static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)), bigEndian);
      AppendUnit(out, static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), bigEndian);
    }
  }
  return out;
}

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One text converted with a converter opened for it alone.
TResult<std::string> ConvertOne(std::string_view text,
                                std::string (CodePageConverter::*convert)(std::string_view) const) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  const TResult<CodePageConverter> converter = CodePageConverter::Open();
  if (!converter) {
    return converter.Error();
  }
  return (converter.Value().*convert)(text);
}

}  // namespace

TResult<std::string> Utf8ToCodePage(std::string_view text) {
  return ConvertOne(text, &CodePageConverter::ToCodePage);
}

TResult<std::string> CodePageToUtf8(std::string_view text) {
  return ConvertOne(text, &CodePageConverter::ToUtf8);
}

}  // namespace korvane
