#include "files/IniDocument.h"

#include <gtest/gtest.h>

#include "files/IniFile.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

TEST(IniDocument, LooksUpLikeThePlatformService) {
  const auto doc = IniDocument::Parse(
      "\xEF\xBB\xBF"
      "[First]\n"
      "  Key One \t=\t spaced value  \r\n"
      "quoted= \"in quotes\" \r"
      "; Hidden=comment\n"
      "bare line\n"
      "key one=second of its name\n"
      "[ second ] trailing text\n"
      "empty=\n"
      "[FIRST]\n"
      "Late=in a duplicate section\n");
  EXPECT_EQ(doc.Get("first", "KEY ONE", "-"), "spaced value");
  EXPECT_EQ(doc.Get("First", "quoted", "-"), "in quotes");
  EXPECT_EQ(doc.Get("First", "; Hidden", "-"), "-");
  EXPECT_EQ(doc.Get("First", "bare line", "-"), "-");
  EXPECT_EQ(doc.Get("Second", "empty", "-"), "");
  EXPECT_EQ(doc.Get("First", "Late", "-"), "-");
  EXPECT_EQ(doc.Get("Absent", "empty", "-"), "-");
  EXPECT_EQ(doc.Get("Second", "absent", "fallback"), "fallback");
}

// Which quotes a reading removes is in the shared table of code set files.
TEST(IniDocument, QuotesAreRemovedByReadingNotBySaving) {
  auto doc = IniDocument::Parse("[S]\r\nk='old'\r\n");
  EXPECT_EQ(doc.Get("S", "k", "-"), "old");
  ASSERT_TRUE(doc.Set("S", "k", "\"new\""));
  EXPECT_EQ(doc.Serialize(), "[S]\r\nk=\"new\"\r\n");
  EXPECT_EQ(doc.Get("S", "k", "-"), "new");
}

TEST(IniDocument, CutsLongValuesAndKeepsAllBytes) {
  const std::string gbk = "\xC7\xEB\xC7\xF3\x80\xFF";
  const auto doc = IniDocument::Parse("[S]\nlong=" + std::string(2100, 'a') + "b\ngbk=" + gbk);
  EXPECT_EQ(doc.Get("S", "long", ""), std::string(2047, 'a'));
  EXPECT_EQ(doc.Find("S", "long")->size(), 2101u);
  EXPECT_EQ(doc.Get("S", "gbk", ""), gbk);
  EXPECT_EQ(doc.Get("S", "none", std::string(3000, 'd')).size(), 2047u);
}

TEST(IniDocument, EditsTouchOnlyTheirLine) {
  auto doc =
      IniDocument::Parse("; head\n\n[A]\n  k1 = old  \nother=x\n; tail of A\n\n[B]\n[C]\nc=1");
  ASSERT_TRUE(doc.Set("a", "K1", "new"));
  ASSERT_TRUE(doc.Set("A", "k2", "added"));
  ASSERT_TRUE(doc.Set("B", "b", "first"));
  ASSERT_TRUE(doc.Set("D", "d", ""));
  EXPECT_EQ(doc.Serialize(),
            "; head\n\n[A]\n  k1 = new\nother=x\nk2=added\n; tail of A\n\n[B]\nb=first\n"
            "[C]\nc=1\n[D]\nd=\n");
}

TEST(IniDocument, AddedLinesFollowTheFileOrDefaultToCrLf) {
  auto fresh = IniDocument::Parse("");
  ASSERT_TRUE(fresh.Set("S", "k", "v"));
  EXPECT_EQ(fresh.Serialize(), "[S]\r\nk=v\r\n");

  auto oneLine = IniDocument::Parse("\xEF\xBB\xBF[S]");
  ASSERT_TRUE(oneLine.Set("S", "k", "v"));
  EXPECT_EQ(oneLine.Serialize(), "\xEF\xBB\xBF[S]\r\nk=v\r\n");

  auto unix = IniDocument::Parse("[S]\nk=v");
  ASSERT_TRUE(unix.Set("T", "k", "v"));
  EXPECT_EQ(unix.Serialize(), "[S]\nk=v\n[T]\nk=v\n");
}

TEST(IniDocument, RefusesWhatTheFormatCannotHold) {
  const std::string before = "[S]\r\nk=v\r\n";
  auto doc = IniDocument::Parse(before);
  for (const auto& [section, key, value] :
       std::initializer_list<std::array<const char*, 3>>{{"S", "k", "a\r\nb=c"},
                                                         {"S", "k", "a\nb"},
                                                         {"S", "k", "a\rb"},
                                                         {"S", "", "v"},
                                                         {"S", "a=b", "v"},
                                                         {"S", "[k", "v"},
                                                         {"S", ";k", "v"},
                                                         {"S", " k", "v"},
                                                         {"S\n", "k", "v"},
                                                         {"S]", "k", "v"},
                                                         {" S", "k", "v"}}) {
    EXPECT_FALSE(doc.Set(section, key, value)) << section << "/" << key << "/" << value;
  }
  EXPECT_EQ(doc.Serialize(), before);
}

TEST(ProfileCalls, CreateReadAndKeepPerCall) {
  test::TempDir dir;
  const auto file = dir.File("settings.ini");
  EXPECT_EQ(GetProfileString(file, "S", "k", "default"), "default");
  ASSERT_TRUE(WriteProfileString(file, "S", "k", "one"));
  ASSERT_TRUE(WriteProfileString(file, "S", "j", "two"));
  ASSERT_TRUE(WriteProfileString(file, "s", "K", "three"));
  EXPECT_EQ(test::ReadBytes(file), "[S]\r\nk=three\r\nj=two\r\n");
  EXPECT_EQ(GetProfileString(file, "S", "J", ""), "two");

  EXPECT_EQ(WriteProfileString(file, "S", "k", "line\nbreak").Error().Id, TextId::kFileCannotHold);
  EXPECT_FALSE(WriteProfileString(dir.File("missing/x.ini"), "S", "k", "v"));
  EXPECT_EQ(GetProfileString(dir.Path().string(), "S", "k", "default"), "default");
  EXPECT_FALSE(WriteProfileString(dir.Path().string(), "S", "k", "v"));
}

}  // namespace
}  // namespace korvane
