#pragma once

#include <string>

#include "cli/CliOptions.h"
#include "model/CodeTable.h"

namespace korvane::cli {

// The device operations speak the editor's Chinese; the command line speaks
// English unless Chinese was asked for. Texts without a translation pass as
// they are.
std::string DeviceText(const std::string& text, Language language);

// The over-long codes of `table`, in the chosen language.
std::string OverlongText(const CodeTable& table, Language language);

}  // namespace korvane::cli
