#include "tools/cli/CliOptions.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

std::optional<CliOptions> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
  args.insert(args.begin(), "korvane-cli");
  std::string error;
  auto options = ParseCommandLine(args, error);
  if (errorOut != nullptr) {
    *errorOut = error;
  }
  return options;
}

TEST(CliOptions, WriteTakesSeveralPortsAFileAndOptions) {
  const auto options = Parse({"write", "--port", "KSIM1", "codes.IOS", "--port", "/dev/ttyUSB0",
                              "--baud-index", "4", "--verify", "--image-dir", "/tmp/images"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->Action, Command::Write);
  EXPECT_EQ(options->Ports, (std::vector<std::string>{"KSIM1", "/dev/ttyUSB0"}));
  EXPECT_EQ(options->CodeSetFile, "codes.IOS");
  EXPECT_EQ(options->BaudIndex, 4);
  EXPECT_TRUE(options->Verify);
  EXPECT_EQ(options->ImageDirectory, "/tmp/images");
}

TEST(CliOptions, DefaultsFollowTheEditor) {
  const auto options = Parse({"image", "a.IOS", "-o", "a.bin"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->BaudIndex, 1);
  EXPECT_EQ(options->Output, "a.bin");
  EXPECT_FALSE(options->Verify);
}

TEST(CliOptions, UsageErrorsAreNamed) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"frobnicate"}, "unknown command: frobnicate"},
      {{"write", "codes.IOS"}, "--port is required"},
      {{"write", "--port", "KSIM1"}, "a code set file (.IOS) is required"},
      {{"write", "--port"}, "option --port needs a value"},
      {{"write", "--port", "A", "a.IOS", "b.IOS"}, "unexpected argument: b.IOS"},
      {{"write", "--port", "A", "a.IOS", "--baud-index", "5"}, "--baud-index must be 0 to 4"},
      {{"write", "--port", "A", "a.IOS", "--baud-index", "1x"}, "--baud-index must be 0 to 4"},
      {{"read", "--port", "A", "--verify"}, "unknown option for this command: --verify"},
      {{"read", "--port", "A", "--port", "B"}, "read takes one --port"},
      {{"image", "a.IOS"}, "-o OUT.bin is required"},
      {{"ports", "extra"}, "unexpected argument: extra"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << c.args.front();
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
}

TEST(CliOptions, HelpForEachCommand) {
  const auto overview = Parse({});
  ASSERT_TRUE(overview);
  EXPECT_EQ(overview->Action, Command::Help);
  const auto help = Parse({"write", "--help"});
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->HelpRequested);
  EXPECT_NE(HelpText(Command::Write).find("--verify"), std::string::npos);
  EXPECT_NE(HelpText(Command::Help).find("ports"), std::string::npos);
}

}  // namespace
}  // namespace korvane::cli
