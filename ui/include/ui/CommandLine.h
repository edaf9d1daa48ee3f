#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// What the editor prints instead of opening its window: the help for -h or
// --help, the version for -V or --version (the first of them that is given).
// nullopt for every other command line, which is left to Qt.
std::optional<std::string> EditorInfoText(const std::vector<std::string>& args);

}  // namespace korvane
