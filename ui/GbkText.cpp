#include "ui/GbkText.h"

#include "files/TextEncoding.h"

namespace korvane {

// The same code page conversion as the code set files use, so that the editor
// and the files agree on every byte.
QString GbkToQString(const std::string& bytes) {
  const std::string utf8 = CodePageToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string QStringToGbk(const QString& text) {
  return Utf8ToCodePage(text.toStdString());
}

}  // namespace korvane
