#include "ui/GbkText.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace korvane {
namespace {

// One iconv conversion descriptor for the length of one conversion.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error("No GBK text conversion available");
    }
  }
  ~TIconv() { iconv_close(cd_); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Converts all of `input`; on a sequence it cannot take, appends
  // `replacement` and skips `skip(in, left)` input bytes.
  template <typename Skip>
  std::string Convert(const std::string& input, const std::string& replacement, Skip skip) {
    std::string output;
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char chunk[256];
    while (inLeft > 0) {
      char* out = chunk;
      std::size_t outLeft = sizeof chunk;
      const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
      output.append(chunk, sizeof chunk - outLeft);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        output += replacement;
        const std::size_t skipped = std::min(skip(in, inLeft), inLeft);
        in += skipped;
        inLeft -= skipped;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return output;
  }

 private:
  iconv_t cd_;
};

std::size_t Utf8SequenceLength(const char* text, std::size_t left) {
  const auto lead = static_cast<unsigned char>(*text);
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

}  // namespace

QString GbkToQString(const std::string& bytes) {
  TIconv converter("UTF-8", "GBK");
  const std::string utf8 = converter.Convert(
      bytes, "\xEF\xBF\xBD", [](const char*, std::size_t) -> std::size_t { return 1; });
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToGbk(const QString& text) {
  TIconv converter("GBK", "UTF-8");
  return converter.Convert(text.toStdString(), "?", Utf8SequenceLength);
}

}  // namespace korvane
