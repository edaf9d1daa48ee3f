#pragma once

#include <QString>

#include <string>

namespace korvane {

// A text that a device operation shows, in the chosen language. The fixed
// texts are translated; composed ones (naming a file or a code) stay as given.
QString DeviceText(const std::string& text);

}  // namespace korvane
