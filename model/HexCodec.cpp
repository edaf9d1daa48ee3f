#include "model/HexCodec.h"

#include <cstdio>

namespace korvane {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexDigitValue(char c) {
  if (c >= 'a' && c <= 'f') {
    c = static_cast<char>(c - 'a' + 'A');
  }
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return 0;
}

std::int32_t HexToInt(std::string_view text) {
  std::uint32_t result = 0;
  std::uint32_t power = 1;  // 16^(L - i), built from the right; wraps to 0 past eight places
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    result += static_cast<std::uint32_t>(HexDigitValue(*it)) * power;
    power *= 16u;
  }
  return static_cast<std::int32_t>(result);
}

std::string BytesToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (char b : bytes) {
    const auto value = static_cast<unsigned char>(b);
    text.push_back(kDigits[value >> 4]);
    text.push_back(kDigits[value & 0x0F]);
  }
  return text;
}

std::string HexToBytes(std::string_view text) {
  std::string bytes;
  std::size_t p = 0;
  const std::size_t length = text.size();
  while (p < length) {
    while (p < length && !IsHexDigit(text[p])) {
      ++p;
    }
    if (p >= length) {
      break;
    }
    int value = HexDigitValue(text[p]);
    if (p + 1 < length && IsHexDigit(text[p + 1])) {
      value = value * 16 + HexDigitValue(text[p + 1]);
    }
    bytes.push_back(static_cast<char>(value));
    p += 2;  // a lone digit also consumes the non-hex character after it
  }
  return bytes;
}

std::string IntToHex2(std::int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace korvane
