#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "files/TextEncoding.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

struct TIconvTraits {
  using Native = iconv_t;
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);  // iconv_open's failure
  static bool IsValid(iconv_t cd) { return cd != kNone; }
  static bool Close(iconv_t cd) { return ::iconv_close(cd) == 0; }
};
using UniqueIconv = TUniqueHandle<TIconvTraits>;

// The length of the UTF-8 sequence led by `lead`, at most `left`.
std::size_t Utf8SequenceLength(unsigned char lead, std::size_t left) {
  std::size_t length = 1;
  if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  return std::min(length, left);
}

// The system's name of a code page: 936 by the name every iconv knows it by.
std::string IconvName(unsigned codePage) {
  return codePage == kTextCodePage ? "GBK" : "CP" + std::to_string(codePage);
}

// Converts all of `input` with `converter`; a sequence that the target cannot
// take becomes `replacement`, and `skip(lead, left)` input bytes are passed
// over.
template <typename Skip>
std::string Convert(const UniqueIconv& converter, std::string_view input,
                    std::string_view replacement, Skip skip) {
  std::string output;
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char chunk[1024];
  while (inLeft > 0) {
    char* out = chunk;
    std::size_t outLeft = sizeof chunk;
    const std::size_t result = ::iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
    output.append(chunk, sizeof chunk - outLeft);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      output += replacement;
      const std::size_t skipped = skip(static_cast<unsigned char>(*in), inLeft);
      in += skipped;
      inLeft -= skipped;
      ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  // The next text starts from the initial state, whatever this one left.
  ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
  return output;
}

}  // namespace

struct CodePageConverter::Tables {
  UniqueIconv ToCodePage;
  UniqueIconv ToUtf8;
};

TResult<CodePageConverter> CodePageConverter::Open(unsigned codePage) {
  const std::string name = IconvName(codePage);
  auto tables = std::make_unique<Tables>();
  tables->ToCodePage.Reset(::iconv_open(name.c_str(), "UTF-8"));
  if (tables->ToCodePage.Valid()) {
    tables->ToUtf8.Reset(::iconv_open("UTF-8", name.c_str()));
  }
  if (!tables->ToUtf8.Valid()) {
    return MakeError(TextId::kFileNoCodePage, {std::to_string(codePage)}, LastSystemErrorCode());
  }
  return CodePageConverter(std::move(tables));
}

CodePageConverter::CodePageConverter(std::unique_ptr<Tables> tables) : tables_(std::move(tables)) {}
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;
CodePageConverter::~CodePageConverter() = default;

std::string CodePageConverter::ToCodePage(std::string_view utf8) const {
  return Convert(tables_->ToCodePage, utf8, "?", Utf8SequenceLength);
}

std::string CodePageConverter::ToUtf8(std::string_view text) const {
  return Convert(tables_->ToUtf8, text, "\xEF\xBF\xBD",
                 [](unsigned char, std::size_t) -> std::size_t { return 1; });
}

}  // namespace korvane
