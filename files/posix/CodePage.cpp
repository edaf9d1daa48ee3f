#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "files/TextEncoding.h"
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

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

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

// Converts all of `input` with iconv; a sequence that the target cannot take
// becomes `replacement`, and `skip(lead, left)` input bytes are passed over.
template <typename Skip>
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, Skip skip) {
  const UniqueIconv converter(::iconv_open(to, from));
  if (!converter.Valid()) {
    throw std::runtime_error(std::string("no text conversion from ") + from + " to " + to);
  }
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
  return output;
}

}  // namespace

std::string Utf8ToCodePage(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  return Convert("GBK", "UTF-8", text, "?", Utf8SequenceLength);
}

std::string CodePageToUtf8(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  return Convert("UTF-8", "GBK", text, "\xEF\xBF\xBD",
                 [](unsigned char, std::size_t) -> std::size_t { return 1; });
}

}  // namespace korvane
