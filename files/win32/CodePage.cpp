#include <windows.h>

#include <algorithm>

#include "files/TextEncoding.h"

namespace korvane {
namespace {

constexpr UINT kCodePageGbk = 936;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::wstring ToWide(UINT codePage, std::string_view text) {
  const int inLength = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), inLength, wide.data(), length);
  return wide;
}

// Code page 936 has no character beyond the Basic Multilingual Plane; each
// such character becomes one '?', not one per half of its surrogate pair.
std::wstring WithoutSurrogatePairs(const std::wstring& wide) {
  std::wstring single;
  single.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const bool high = wide[i] >= 0xD800 && wide[i] <= 0xDBFF;
    if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      single.push_back(L'?');
      ++i;
    } else {
      single.push_back(wide[i]);
    }
  }
  return single;
}

// UTF-8 takes no default character; code page 936 takes '?'.
std::string FromWide(UINT codePage, const std::wstring& wide) {
  const int inLength = static_cast<int>(wide.size());
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int length =
      ::WideCharToMultiByte(codePage, 0, wide.data(), inLength, nullptr, 0, fallback, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(length, 0)), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), inLength, bytes.data(), length, fallback,
                        nullptr);
  return bytes;
}

}  // namespace

// The system's code page 936 tables, as its 8-bit services use them.
std::string Utf8ToCodePage(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  return FromWide(kCodePageGbk, WithoutSurrogatePairs(ToWide(CP_UTF8, text)));
}

std::string CodePageToUtf8(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  return FromWide(CP_UTF8, ToWide(kCodePageGbk, text));
}

}  // namespace korvane
