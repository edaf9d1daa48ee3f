#include "ui/CommandLine.h"

#include <gtest/gtest.h>

#include "KorvaneVersion.h"

namespace korvane {
namespace {

TEST(EditorCommandLine, OnlyHelpAndVersionAreAnsweredBeforeTheWindow) {
  struct Case {
    std::vector<std::string> Args;
    std::optional<std::string> StartsWith;  // nullopt: the window opens
  };
  const std::string version = std::string("korvane-editor ") + KORVANE_VERSION + "\n";
  const std::vector<Case> cases = {
      {{}, std::nullopt},
      {{"-platform", "offscreen"}, std::nullopt},
      {{"codes.IOS"}, std::nullopt},
      {{"--helper"}, std::nullopt},
      {{"--help"}, "Usage: korvane-editor"},
      {{"-h"}, "Usage: korvane-editor"},
      {{"-platform", "offscreen", "--version"}, version},
      {{"-V"}, version},
      {{"--version", "--help"}, version},  // the first request wins
  };
  for (const Case& c : cases) {
    const std::optional<std::string> text = EditorInfoText(c.Args);
    ASSERT_EQ(text.has_value(), c.StartsWith.has_value()) << ::testing::PrintToString(c.Args);
    if (text) {
      EXPECT_TRUE(text->starts_with(*c.StartsWith)) << *text;
    }
  }
}

TEST(EditorCommandLine, HelpListsOptionsExitStatusAndFiles) {
  const std::string help = EditorInfoText({"--help"}).value_or("");
  for (const char* part : {"--version", "Exit status:", "Files:", "Configuration.bin",
                           "XDG_STATE_HOME", ".local/state/korvane"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace korvane
