#pragma once

#include <QString>

#include <string>
#include <vector>

#include "device/DeviceSeams.h"  // the catalogue's identifiers

namespace korvane {

// A catalogue text in the editor's language (EditorLanguage).
QString UiText(TextId id, const std::vector<std::string>& args = {});

// A message of the device operations in the editor's language.
QString DeviceText(const TDeviceText& text);

}  // namespace korvane
