#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/ui/EditorTexts.h"
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

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
  const std::string golden = ReadFile(KORVANE_EDITOR_TEXTS_GOLDEN);
  ASSERT_FALSE(golden.empty()) << KORVANE_EDITOR_TEXTS_GOLDEN;
  EXPECT_EQ(found, golden);
}

}  // namespace
}  // namespace korvane
