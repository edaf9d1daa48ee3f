#include "files/CodeSetFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace korvane {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr const char* kKeys[] = {"ButtonDownSend1", "ButtonDownSend2", "ButtonDownSend3",
                                 "ButtonDownSend4", "ButtonUpSend1",   "ButtonUpSend2",
                                 "ButtonUpSend3",   "ButtonUpSend4"};

// The bytes of a freshly written file whose codes are all `value`.
std::string FreshFile(const std::string& value) {
  std::string out;
  for (int button = 1; button <= 4; ++button) {
    out += "[Button" + std::to_string(button) + "]\r\n";
    for (const char* key : kKeys) {
      out += std::string(key) + "=" + value + "\r\n";
    }
  }
  return out;
}

// CodeTable's own == is unusable: ButtonCodes has no equality.
bool Same(const CodeTable& a, const CodeTable& b) {
  for (int button = 1; button <= 4; ++button) {
    if (a.Button(button).Slots != b.Button(button).Slots) {
      return false;
    }
  }
  return true;
}

CodeTable FilledTable() {
  const std::string lengths[] = {"",
                                 "0",
                                 "0102FF",
                                 "1a 2B",
                                 std::string(126, 'F'),
                                 std::string(127, 'a'),
                                 std::string(2000, 'C'),
                                 std::string(2045, '9')};  // 2047 with the number
  CodeTable table;
  for (int button = 1; button <= 4; ++button) {
    for (int slot = 1; slot <= 8; ++slot) {
      table.SetText(button, slot,
                    lengths[(button + slot) % 8] + std::to_string(button * 10 + slot));
    }
  }
  table.SetText(2, 5, std::string(2047, 'e'));
  return table;
}

TEST(CodeSetFile, RoundTripsAFullTable) {
  TempDir dir;
  const auto path = dir.File("full.IOS");
  const CodeTable saved = FilledTable();
  ASSERT_TRUE(SaveCodeSet(saved, path));
  CodeTable loaded = FilledTable();
  loaded.SetText(1, 1, "stale");
  ASSERT_TRUE(LoadCodeSet(loaded, path));
  EXPECT_TRUE(Same(loaded, saved));
}

TEST(CodeSetFile, EmptyTableWritesAllKeysInOrder) {
  TempDir dir;
  const auto path = dir.File("empty.IOS");
  ASSERT_TRUE(SaveCodeSet(CodeTable{}, path));
  EXPECT_EQ(ReadBytes(path), FreshFile(""));
  CodeTable ones;
  for (int button = 1; button <= 4; ++button) {
    for (int slot = 1; slot <= 8; ++slot) {
      ones.SetText(button, slot, "01");
    }
  }
  ASSERT_TRUE(SaveCodeSet(ones, path));
  EXPECT_EQ(ReadBytes(path), FreshFile("01"));
  EXPECT_EQ(CodeSetText(ones), FreshFile("01"));
}

TEST(CodeSetFile, SavingKeepsEverythingElseByteForByte) {
  TempDir dir;
  const auto path = dir.File("shared.IOS");
  WriteBytes(path,
             "; kept comment\r\n\r\n[Other]\r\nKey = value with spaces \r\n\r\n"
             "[Button1]\r\nExtra=keep\r\nButtonUpSend2 = old\r\n; end of Button1\r\n\r\n"
             "[Tail]\r\nx=1");
  CodeTable table;
  table.SetText(1, 1, "01");
  table.SetText(1, 6, "AA");
  table.SetText(4, 8, "FF");
  ASSERT_TRUE(SaveCodeSet(table, path));

  std::string expected =
      "; kept comment\r\n\r\n[Other]\r\nKey = value with spaces \r\n\r\n"
      "[Button1]\r\nExtra=keep\r\nButtonUpSend2 = AA\r\nButtonDownSend1=01\r\n"
      "ButtonDownSend2=\r\nButtonDownSend3=\r\nButtonDownSend4=\r\nButtonUpSend1=\r\n"
      "ButtonUpSend3=\r\nButtonUpSend4=\r\n; end of Button1\r\n\r\n[Tail]\r\nx=1\r\n";
  expected += FreshFile("").substr(FreshFile("").find("[Button2]"));
  expected.insert(expected.size() - 2, "FF");  // Button4's ButtonUpSend4 is the last line
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(CodeSetFile, MissingFileOrSectionsEmptyEveryCode) {
  TempDir dir;
  WriteBytes(dir.File("foreign.IOS"), "[Settings]\r\nButtonDownSend1=01\r\n");
  for (const auto& name : {"absent.IOS", "foreign.IOS"}) {
    CodeTable table = FilledTable();
    ASSERT_TRUE(LoadCodeSet(table, dir.File(name))) << name;
    EXPECT_TRUE(Same(table, CodeTable{})) << name;
  }
}

TEST(CodeSetFile, LoadsAFileFromAWindowsProgram) {
  TempDir dir;
  const auto path = dir.File("windows.IOS");
  WriteBytes(path,
             "[Settings]\r\nButtonDownSend1=not mine\r\n\r\n"
             "[BUTTON1]\r\nbuttondownsend1 = 0102FF \r\nButtonDownSend3=\xC7\xEB\xC7\xF3\r\n"
             "ButtonUpSend2\t=\t1a 2B\r\n[button4]\r\n  BUTTONUPSEND4   =   A0B1\r\n"
             "ButtonDownSend2=" +
                 std::string(2100, '7') + "\r\n");
  CodeTable table = FilledTable();
  ASSERT_TRUE(LoadCodeSet(table, path));
  CodeTable expected;
  expected.SetText(1, 1, "0102FF");
  expected.SetText(1, 3, "\xC7\xEB\xC7\xF3");
  expected.SetText(1, 6, "1a 2B");
  expected.SetText(4, 8, "A0B1");
  expected.SetText(4, 2, std::string(2047, '7'));
  EXPECT_TRUE(Same(table, expected));
}

TEST(CodeSetFile, FailuresLeaveFileAndTableAlone) {
  TempDir dir;
  const auto path = dir.File("codes.IOS");
  WriteBytes(path, "[Button1]\r\nButtonDownSend1=01\r\n");
  CodeTable withBreak;
  withBreak.SetText(3, 2, "01\r\n[Button1]");
  const TStatus refused = SaveCodeSet(withBreak, path);
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.Message().find("line break"), std::string::npos) << refused.Message();
  EXPECT_FALSE(SaveCodeSet(CodeTable{}, dir.File("missing/codes.IOS")));
  EXPECT_FALSE(SaveCodeSet(CodeTable{}, dir.File("codes.IOS/below.IOS")));
  EXPECT_EQ(ReadBytes(path), "[Button1]\r\nButtonDownSend1=01\r\n");

  const CodeTable before = FilledTable();
  CodeTable table = before;
  const TStatus loaded = LoadCodeSet(table, dir.Path().string());
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(loaded.Message().empty());
  EXPECT_TRUE(Same(table, before));
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(CodeSetFile, ReadOnlyOrUnreadableTargetIsLeftAsItWas) {
  TempDir dir;
  const auto path = dir.File("locked.IOS");
  WriteBytes(path, "[Button1]\r\nButtonDownSend1=01\r\n");
  const std::string failure = test::RunWithoutPrivilege(dir.Path(), [&]() -> std::string {
    if (::chmod(path.c_str(), 0444) != 0 || SaveCodeSet(FilledTable(), path)) {
      return "saved over a read-only file";
    }
    // A file we may write but not read would lose its other contents: refused too.
    if (::chmod(path.c_str(), 0200) != 0) {
      return "chmod failed";
    }
    const TStatus saved = SaveCodeSet(FilledTable(), path);
    if (saved) {
      return "saved over an unreadable file";
    }
    if (saved.Message().find("cannot read") == std::string::npos) {
      return "the reason is not given: " + saved.Message();
    }
    return ::chmod(path.c_str(), 0644) == 0 ? "" : "chmod failed";
  });
  EXPECT_EQ(failure, "");
  EXPECT_EQ(ReadBytes(path), "[Button1]\r\nButtonDownSend1=01\r\n");
}

TEST(CodeSetFile, DefaultExtensionOnlyForNamesWithoutOne) {
  EXPECT_EQ(WithDefaultExtension("codes"), "codes.IOS");
  EXPECT_EQ(WithDefaultExtension("/home/op.d/codes"), "/home/op.d/codes.IOS");
  EXPECT_EQ(WithDefaultExtension("dir/codes.ios"), "dir/codes.ios");
  EXPECT_EQ(WithDefaultExtension("codes.txt"), "codes.txt");
  EXPECT_EQ(WithDefaultExtension(""), "");
}

}  // namespace
}  // namespace korvane
