#pragma once

#include <string>
#include <vector>

#include "model/CodeTable.h"
#include "platform/Texts.h"

namespace korvane::cli {

// A code that is not plain hex text: it holds a character other than a hex
// digit, or an odd number of digits. The image would hold bytes the file
// never stated (non-hex characters are skipped, a lone digit becomes a byte).
struct BadCode {
  int Button = 0;  // 1-4
  int Slot = 0;    // 1-8
  std::string Text;
};

// Every such code of the table, in slot order.
std::vector<BadCode> FindBadCodes(const CodeTable& table);

// The code named with its value and what is wrong with it, for example
// `IO1 ButtonDownSend1 = "ABC": an odd number of hex digits (3)`; the value
// as the file's code page gives it, quoted like a JSON string; the reason in
// `language`.
std::string BadCodeText(const BadCode& code, Language language);

}  // namespace korvane::cli
