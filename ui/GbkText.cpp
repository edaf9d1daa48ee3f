#include "ui/GbkText.h"

#include "files/TextEncoding.h"

namespace korvane {

// The same code page conversion as the code set files use, so that the editor
// and the files agree on every byte.
QString GbkToQString(const std::string& bytes) {
  const TResult<std::string> utf8 = CodePageToUtf8(bytes);
  if (!utf8) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return QString::fromUtf8(utf8.Value().data(), static_cast<qsizetype>(utf8.Value().size()));
}

std::string QStringToGbk(const QString& text) {
  TResult<std::string> bytes = Utf8ToCodePage(text.toStdString());
  if (!bytes) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
  }
  return std::move(bytes).Value();
}

}  // namespace korvane
