#include "cli/CodeCheck.h"

#include <algorithm>

#include "cli/Json.h"
#include "files/TextEncoding.h"
#include "model/HexCodec.h"

namespace korvane::cli {
namespace {

bool AllHexDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), IsHexDigit);
}

// A code's text as UTF-8 to show; without the system's conversion its bytes
// go as they are, and JsonQuote shows what is not UTF-8 as U+FFFD.
std::string ShownText(const std::string& text) {
  TResult<std::string> utf8 = CodePageToUtf8(text);
  return utf8 ? std::move(utf8).Value() : text;
}

}  // namespace

std::vector<BadCode> FindBadCodes(const CodeTable& table) {
  std::vector<BadCode> found;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      // A code too long for the device is refused for its length, with the
      // length the file gives, after this check.
      if (text.size() > static_cast<std::size_t>(kMaxCodeChars)) {
        continue;
      }
      if (!AllHexDigits(text) || text.size() % 2 != 0) {
        found.push_back({button, slot, text});
      }
    }
  }
  return found;
}

std::string BadCodeText(const BadCode& code, Language language) {
  const std::string why = AllHexDigits(code.Text) ? Text(TextId::kCliOddHexDigits, language,
                                                         {std::to_string(code.Text.size())})
                                                  : Text(TextId::kCliNotHexCharacters, language);
  return "IO" + std::to_string(code.Button) + " " + SlotKey(code.Slot) + " = " +
         JsonQuote(ShownText(code.Text)) + ": " + why;
}

}  // namespace korvane::cli
