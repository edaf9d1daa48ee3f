#include "ui/GbkText.h"

#include <windows.h>

namespace korvane {
namespace {

constexpr UINT kCodePageGbk = 936;

// Code page 936 has no character beyond the Basic Multilingual Plane; each
// such character becomes one '?', not one per half of its surrogate pair.
std::wstring WithoutSurrogatePairs(const QString& text) {
  std::wstring wide;
  wide.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar unit = text[i];
    if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      wide.push_back(L'?');
      ++i;
    } else {
      wide.push_back(static_cast<wchar_t>(unit.unicode()));
    }
  }
  return wide;
}

}  // namespace

// The system's code page 936 tables; a byte sequence they cannot take becomes
// the system's replacement character.
QString GbkToQString(const std::string& bytes) {
  if (bytes.empty()) {
    return {};
  }
  const int inLength = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(kCodePageGbk, 0, bytes.data(), inLength, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(kCodePageGbk, 0, bytes.data(), inLength, wide.data(), length);
  return QString::fromStdWString(wide);
}

std::string QStringToGbk(const QString& text) {
  const std::wstring wide = WithoutSurrogatePairs(text);
  if (wide.empty()) {
    return {};
  }
  const int inLength = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(kCodePageGbk, 0, wide.data(), inLength, nullptr, 0, "?", nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(kCodePageGbk, 0, wide.data(), inLength, bytes.data(), length, "?", nullptr);
  return bytes;
}

}  // namespace korvane
