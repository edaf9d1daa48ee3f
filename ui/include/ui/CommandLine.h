#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// What the editor prints instead of opening its window: the help for -h or
// --help, the version for -V or --version (the first of them that is given).
// nullopt for every other command line, which is left to Qt.
std::optional<std::string> EditorInfoText(const std::vector<std::string>& args);

// The code set file named on the editor's command line (`arguments` as Qt
// leaves them, the program first): the first argument that is no option nor
// the value of --lang, or the one after "--". Empty when none is named.
QString CodeSetFileArgument(const QStringList& arguments);

}  // namespace korvane
