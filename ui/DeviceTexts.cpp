#include "ui/DeviceTexts.h"

#include "ui/Language.h"

namespace korvane {

QString UiText(TextId id, const std::vector<std::string>& args) {
  return QString::fromStdString(Text(id, EditorLanguage(), args));
}

QString DeviceText(const TDeviceText& text) {
  return QString::fromStdString(DeviceWords(text, EditorLanguage()));
}

}  // namespace korvane
