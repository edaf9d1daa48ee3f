#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tests/ui/EditorTexts.h"
#include "tests/ui/FormWidgets.h"
#include "ui/Language.h"

namespace korvane {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

// The editor's Chinese texts are the device's own: each must stay as the
// golden list, captured from the editor before its texts moved into the
// catalogue, has it, byte for byte. KORVANE_EDITOR_TEXTS_OUT names a file
// that gets the texts found, for a look at what changed.
TEST(EditorTexts, AreTheGoldenListByteForByte) {
  const std::string found = Joined(test::EditorTexts());
  if (const char* out = std::getenv("KORVANE_EDITOR_TEXTS_OUT")) {
    std::ofstream(out, std::ios::binary) << found;
  }
  const std::string golden = test::ReadBytes(KORVANE_EDITOR_TEXTS_GOLDEN);
  ASSERT_FALSE(golden.empty()) << KORVANE_EDITOR_TEXTS_GOLDEN;
  EXPECT_EQ(found, golden);
}

bool HasChinese(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  return std::any_of(shown.begin(), shown.end(),
                     [](QChar ch) { return ch.unicode() >= 0x3000 && ch.unicode() < 0xA000; });
}

// The English option words every text in English: the windows' own through
// the translation, the messages (file failures with their details too)
// through the catalogue.
TEST(EditorTexts, EnglishOptionShowsNoChinese) {
  ASSERT_TRUE(InstallTranslations(Language::English));
  const std::vector<std::string> lines = test::EditorTexts();
  test::RemoveTranslations();
  for (const std::string& line : lines) {
    EXPECT_FALSE(HasChinese(line.substr(line.find('\t') + 1))) << line;
  }
  EXPECT_NE(std::find(lines.begin(), lines.end(), "box.write_success.text\tProgramming succeeded!"),
            lines.end());
}

}  // namespace
}  // namespace korvane
