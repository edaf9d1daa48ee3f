#include <windows.h>

#include <algorithm>
#include <string>

#include "files/TextEncoding.h"

namespace korvane {
namespace {

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

// The system's own tables, as its 8-bit services use them: nothing to open,
// only the code page to check.
struct CodePageConverter::Tables {
  UINT CodePage;
};

TResult<CodePageConverter> CodePageConverter::Open(unsigned codePage) {
  if (!::IsValidCodePage(codePage)) {
    return MakeError(TextId::kFileNoCodePage, {std::to_string(codePage)});
  }
  return CodePageConverter(std::make_unique<Tables>(Tables{codePage}));
}

CodePageConverter::CodePageConverter(std::unique_ptr<Tables> tables) : tables_(std::move(tables)) {}
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;
CodePageConverter::~CodePageConverter() = default;

std::string CodePageConverter::ToCodePage(std::string_view utf8) const {
  return FromWide(tables_->CodePage, WithoutSurrogatePairs(ToWide(CP_UTF8, utf8)));
}

std::string CodePageConverter::ToUtf8(std::string_view text) const {
  return FromWide(CP_UTF8, ToWide(tables_->CodePage, text));
}

}  // namespace korvane
