#include "platform/Texts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <set>
#include <string>

#include "platform/Result.h"
#include "platform/SystemError.h"

namespace korvane {
namespace {

std::set<std::string> Placeholders(const std::string& text) {
  std::set<std::string> found;
  static const std::regex placeholder(R"(\{[1-9]\})");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder);
       it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

// A text missing in one language, or a detail one language would drop, shows
// up only when that message is shown: check the whole catalogue at once.
TEST(TextsTest, EveryTextHasBothLanguagesWithTheSamePlaceholders) {
  for (TextId id : AllTextIds()) {
    const std::string chinese = Text(id, Language::Chinese);
    const std::string english = Text(id, Language::English);
    SCOPED_TRACE(english);
    EXPECT_FALSE(chinese.empty());
    EXPECT_FALSE(english.empty());
    EXPECT_NE(chinese, english);
    EXPECT_EQ(Placeholders(chinese), Placeholders(english));
  }
  EXPECT_EQ(Text(TextId::kNone, Language::English), "");
}

TEST(TextsTest, ErrorsGiveTheirWordsInEitherLanguage) {
  const TError plain{std::error_code(), "as it stands"};
  EXPECT_EQ(plain.Words(Language::Chinese), "as it stands");

  const TError known =
      MakeError(TextId::kProgramSuccess, {}, std::error_code(EIO, std::generic_category()));
  EXPECT_EQ(known.Message, "Programming succeeded!");
  EXPECT_EQ(known.Words(Language::Chinese), "配置成功!");
  EXPECT_EQ(known.Code.value(), EIO);
}

// A detail may stand for another text (a reason), said in the language asked
// for; a path that merely starts like one is shown as it is.
TEST(TextsTest, AnArgumentMayStandForAnotherText) {
  const std::vector<std::string> denied = {"p", TextArg(TextId::kFileReasonDenied)};
  EXPECT_EQ(Text(TextId::kFileRead, Language::Chinese, denied), "无法读取 p：没有权限");
  EXPECT_EQ(Text(TextId::kFileRead, Language::English, denied), "cannot read p: Permission denied");
  // A cause with details of its own, carried inside another message.
  const std::string cause = TextArg(TextId::kImageCannotOpen, {"c.bin", denied[1]});
  EXPECT_EQ(Text(TextId::kImageFileFault, Language::English, {cause}),
            "nothing more was sent: cannot open c.bin: Permission denied");
  EXPECT_EQ(ArgWords(cause, Language::Chinese), "无法打开镜像文件 c.bin：没有权限");
  const std::string mark = "\x1d";
  for (const std::string& odd :
       {mark, mark + "x", mark + "99999", mark + "123456789012", mark + "\x1f"}) {
    EXPECT_EQ(Text(TextId::kFileRead, Language::English, {odd, "r"}), "cannot read " + odd + ": r");
  }
}

TEST(TextsTest, SystemErrorTextIsEnglish) {
  EXPECT_EQ(SystemErrorText(std::error_code(ENOENT, std::generic_category())),
            "No such file or directory");
}

}  // namespace
}  // namespace korvane
