#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScopedEnvironment.h"

namespace korvane {
namespace {

using testing::ScopedEnvironment;

TEST(FoldersTest, StateFolderFollowsTheBaseDirectoryRules) {
  struct Case {
    std::optional<std::string> StateHome;
    std::optional<std::string> Home;
    std::optional<std::string> Expected;  // nullopt: no folder known
  };
  const std::vector<Case> cases = {
      {"/srv/state", "/home/u", "/srv/state/korvane/"},
      {"/srv/state", std::nullopt, "/srv/state/korvane/"},
      {std::nullopt, "/home/u", "/home/u/.local/state/korvane/"},
      {"", "/home/u", "/home/u/.local/state/korvane/"},
      {"relative/state", "/home/u", "/home/u/.local/state/korvane/"},
      {std::nullopt, std::nullopt, std::nullopt},
      {"relative/state", "", std::nullopt},
      {std::nullopt, "not-absolute", std::nullopt},
  };
  for (const Case& c : cases) {
    ScopedEnvironment state("XDG_STATE_HOME", c.StateHome);
    ScopedEnvironment home("HOME", c.Home);
    const TResult<std::string> folder = StateFolder();
    const std::string context =
        "XDG_STATE_HOME=" + c.StateHome.value_or("(unset)") + " HOME=" + c.Home.value_or("(unset)");
    ASSERT_EQ(folder.Ok(), c.Expected.has_value()) << context;
    if (c.Expected) {
      EXPECT_EQ(folder.Value(), *c.Expected) << context;
    } else {
      EXPECT_EQ(folder.Error().Code, std::errc::no_such_file_or_directory) << context;
      EXPECT_NE(folder.Message().find("HOME"), std::string::npos) << folder.Message();
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
