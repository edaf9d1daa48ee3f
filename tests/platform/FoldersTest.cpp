#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScopedEnvironment.h"

namespace korvane {
namespace {

using test::ScopedEnvironment;

TEST(FoldersTest, StateAndConfigFoldersFollowTheBaseDirectoryRules) {
  struct Kind {
    TResult<std::string> (*Folder)();
    const char* Variable;
    const char* UnderHome;
  };
  const Kind kinds[] = {{StateFolder, "XDG_STATE_HOME", "/home/u/.local/state/korvane/"},
                        {ConfigFolder, "XDG_CONFIG_HOME", "/home/u/.config/korvane/"}};
  struct Case {
    std::optional<std::string> BaseHome;  // the kind's XDG variable
    std::optional<std::string> Home;
    std::optional<std::string> Expected;  // nullopt: no folder known; "~": under HOME
  };
  const std::vector<Case> cases = {
      {"/srv/base", "/home/u", "/srv/base/korvane/"},
      {"/srv/base", std::nullopt, "/srv/base/korvane/"},
      {std::nullopt, "/home/u", "~"},
      {"", "/home/u", "~"},
      {"relative/base", "/home/u", "~"},
      {std::nullopt, std::nullopt, std::nullopt},
      {"relative/base", "", std::nullopt},
      {std::nullopt, "not-absolute", std::nullopt},
  };
  for (const Kind& kind : kinds) {
    for (const Case& c : cases) {
      ScopedEnvironment base(kind.Variable, c.BaseHome);
      ScopedEnvironment home("HOME", c.Home);
      const TResult<std::string> folder = kind.Folder();
      const std::string context = std::string(kind.Variable) + "=" +
                                  c.BaseHome.value_or("(unset)") +
                                  " HOME=" + c.Home.value_or("(unset)");
      ASSERT_EQ(folder.Ok(), c.Expected.has_value()) << context;
      if (c.Expected) {
        EXPECT_EQ(folder.Value(), *c.Expected == "~" ? kind.UnderHome : *c.Expected) << context;
      } else {
        EXPECT_EQ(folder.Error().Code, std::errc::no_such_file_or_directory) << context;
        EXPECT_NE(folder.Message().find("HOME"), std::string::npos) << folder.Message();
      }
    }
  }
}

TEST(FoldersTest, ExecutableFolderHoldsThisTestProgram) {
  const TResult<std::string> folder = ExecutableFolder();
  ASSERT_TRUE(folder.Ok()) << folder.Message();
  ASSERT_FALSE(folder.Value().empty());
  EXPECT_EQ(folder.Value().back(), '/');
  EXPECT_TRUE(std::filesystem::is_regular_file(folder.Value() + "platform_tests"))
      << folder.Value();
}

}  // namespace
}  // namespace korvane
