// Code set files come from anywhere: code page 936 text, or UTF-8 or UTF-16
// with a byte-order mark. The input is a whole file; it is loaded, saved and
// loaded again, which must give the same codes in the same encoding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/CodeSetFile.h"
#include "files/IniDocument.h"
#include "files/TextEncoding.h"
#include "platform/FileBytes.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/FuzzTempDir.h"

using korvane::test::Check;

namespace {

// No code is longer than a lookup can give; a value cut there may end inside
// a character, which a save in another encoding cannot keep.
bool LoadedWithinLimit(const korvane::CodeTable& table, bool& cut) {
  cut = false;
  for (int button = 1; button <= korvane::kButtonCount; ++button) {
    for (int slot = 1; slot <= korvane::kSlotCount; ++slot) {
      const std::size_t length = table.Text(button, slot).size();
      if (length > korvane::kMaxProfileValueChars) {
        return false;
      }
      cut = cut || length == korvane::kMaxProfileValueChars;
    }
  }
  return true;
}

void CheckConversions(std::string_view input) {
  const std::string utf8 = korvane::Utf16ToUtf8(input, input.size() % 3 == 0);
  Check(korvane::Utf16ToUtf8(korvane::Utf8ToUtf16(utf8, true), true) == utf8,
        "UTF-8 made from UTF-16 survives the way back");
  const korvane::TResult<std::string> codePage = korvane::Utf8ToCodePage(input);
  Check(codePage.Ok(), "the system converts to code page 936");
  Check(korvane::CodePageToUtf8(codePage.Value()).Ok(), "and back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckConversions(input);

  const std::string path = korvane::test::ScratchFolder().File("codes.IOS");
  Check(static_cast<bool>(korvane::ReplaceFileBytes(path, input)), "the input file is written");
  korvane::CodeTable loaded;
  Check(static_cast<bool>(korvane::LoadCodeSet(loaded, path)), "a readable file loads");
  bool cut = false;
  Check(LoadedWithinLimit(loaded, cut), "codes are cut to the profile service's buffer");

  Check(static_cast<bool>(korvane::SaveCodeSet(loaded, path)), "loaded codes can be saved");
  const auto saved = korvane::ReadFileBytes(path);
  Check(saved && saved.Value(), "the saved file is read");
  Check(korvane::DetectEncoding(*saved.Value()) == korvane::DetectEncoding(input),
        "a save keeps the file's encoding");
  korvane::CodeTable reloaded;
  Check(static_cast<bool>(korvane::LoadCodeSet(reloaded, path)), "a saved file loads");
  Check(cut || reloaded == loaded, "saved codes load back unchanged");
  return 0;
}
