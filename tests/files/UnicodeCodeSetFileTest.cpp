#include <gtest/gtest.h>

#include <string>

#include "files/CodeSetFile.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

// Built byte by byte, so that it runs where iconv is absent (the Windows
// suite): "[Button2]\r\nButtonUpSend1=请求编程\r\n" in UTF-16LE after its mark.
std::string Utf16LeFile() {
  std::string bytes = "\xFF\xFE";
  for (char c : std::string("[Button2]\r\nButtonUpSend1=")) {
    bytes += c;
    bytes += '\0';
  }
  bytes += "\xF7\x8B\x42\x6C\x16\x7F\x0B\x7A";  // U+8BF7 U+6C42 U+7F16 U+7A0B
  bytes += std::string("\r\0\n\0", 4);
  return bytes;
}

TEST(UnicodeCodeSetFile, Utf16FileLoadsItsCodesInCodePage936) {
  test::TempDir dir;
  const auto path = dir.File("u16.IOS");
  test::WriteBytes(path, Utf16LeFile());
  CodeTable table;
  table.SetText(1, 1, "GONE");
  ASSERT_TRUE(LoadCodeSet(table, path));
  EXPECT_EQ(table.Text(2, 5), "\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC");
  EXPECT_EQ(table.Text(1, 1), "");

  ASSERT_TRUE(SaveCodeSet(table, path));
  const std::string saved = test::ReadBytes(path);
  EXPECT_EQ(saved.substr(0, Utf16LeFile().size()), Utf16LeFile());
  EXPECT_EQ(saved.size() % 2, 0u);
}

}  // namespace
}  // namespace korvane
