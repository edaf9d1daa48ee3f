#pragma once

#include <QString>

#include <string>

namespace korvane {

// Code page 936 (GBK) bytes of the code table to and from the texts shown.
// Bytes that are not GBK become a replacement character (U+FFFD; on Windows
// the system's choice); characters GBK lacks become '?'. A system without
// that conversion shows each byte beyond ASCII as one character (Latin-1) and
// takes it back as that byte, so that codes shown and accepted stay as they
// were; other typed characters then become '?'.
QString GbkToQString(const std::string& bytes);
std::string QStringToGbk(const QString& text);

}  // namespace korvane
