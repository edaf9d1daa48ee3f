#include "ui/GbkText.h"

#include <windows.h>

namespace korvane {
namespace {

constexpr UINT kCodePageGbk = 936;

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
  const std::wstring wide = text.toStdWString();
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
