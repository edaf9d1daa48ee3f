// INI text comes from files that anyone may have edited. The input is a
// document; its first line, when it holds "section\tkey\tvalue", is also
// written into the document.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "files/IniDocument.h"
#include "tests/fuzz/FuzzCheck.h"

using korvane::IniDocument;
using korvane::test::Check;

namespace {

std::vector<std::string> EditOf(const std::string& input) {
  std::vector<std::string> fields;
  const std::string firstLine = input.substr(0, input.find('\n'));
  korvane::test::ForEachPiece(firstLine.data(), firstLine.size(), '\t',
                              [&](std::string piece) { fields.push_back(std::move(piece)); });
  return fields;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Blanks around a value do not survive a reading, and neither do two equal
// quotation marks around what is left (a save writes the value as given).
std::string ReadBack(const std::string& value) {
  const char* blanks = " \t\v\f\r";
  const std::size_t first = value.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return std::string();
  }
  const std::string trimmed = value.substr(first, value.find_last_not_of(blanks) - first + 1);
  const bool quoted = trimmed.size() >= 2 && (trimmed.front() == '"' || trimmed.front() == '\'') &&
                      trimmed.back() == trimmed.front();
  return quoted ? trimmed.substr(1, trimmed.size() - 2) : trimmed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  IniDocument document = IniDocument::Parse(input);
  Check(document.Serialize() == input, "every byte of a file survives a reading");

  const std::vector<std::string> edit = EditOf(input);
  if (edit.size() != 3) {
    return 0;
  }
  const auto& [section, key, value] = std::tie(edit[0], edit[1], edit[2]);
  Check(document.Get(section, key, "").size() <= korvane::kMaxProfileValueChars,
        "a lookup is cut to the profile service's buffer");
  const auto other = document.Find("Button2", "ButtonUpSend4");
  const bool writable = IniDocument::IsWritableSection(section) &&
                        IniDocument::IsWritableKey(key) && IniDocument::IsWritableValue(value);
  Check(document.Set(section, key, value) == writable, "Set takes exactly what the format holds");
  const IniDocument reread = IniDocument::Parse(document.Serialize());
  if (writable) {
    Check(reread.Find(section, key) == ReadBack(value), "a value written is read back");
    if (!(SameName(section, "Button2") && SameName(key, "ButtonUpSend4"))) {
      Check(reread.Find("Button2", "ButtonUpSend4") == other, "other keys are kept");
    }
  } else {
    Check(reread.Serialize() == input, "a refused edit changes nothing");
  }
  return 0;
}
