#include "cli/CliOptions.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

std::optional<CliOptions> Parse(const std::vector<std::string>& args,
                                std::string* errorOut = nullptr) {
  std::vector<std::string> argv{"korvane-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string error;
  auto options = ParseCommandLine(argv, error);
  if (errorOut != nullptr) {
    *errorOut = error;
  }
  return options;
}

TEST(CliOptions, WriteTakesPortsAFileAndOptionsInEveryForm) {
  const auto options = Parse({"write", "--port", "KSIM1", "-p", "/dev/ttyUSB0", "--port=serial=A1",
                              "--baud=19200", "--no-verify", "--image-dir=/tmp/images", "--json",
                              "--log", "st.jsonl", "-q", "--", "-codes.IOS"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->Action, Command::Write);
  EXPECT_EQ(options->Ports, (std::vector<std::string>{"KSIM1", "/dev/ttyUSB0", "serial=A1"}));
  EXPECT_EQ(options->CodeSetFile, "-codes.IOS");  // after --, a name that looks like an option
  EXPECT_EQ(options->BaudIndex, 2);
  EXPECT_FALSE(options->Verify);
  EXPECT_EQ(options->ImageDirectory, "/tmp/images");
  EXPECT_TRUE(options->Json);
  EXPECT_EQ(options->LogFile, "st.jsonl");
  EXPECT_EQ(options->Level, Verbosity::Quiet);
}

TEST(CliOptions, StationTakesSlotsFiltersAndConfirmKeys) {
  const auto options = Parse({"station", "-p", "all", "-p", "KSIM1", "--match", "vid:pid=1a86:7523",
                              "--include-virtual", "--once", "--confirm=12", "a.IOS"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->Action, Command::Station);
  EXPECT_EQ(options->Ports, (std::vector<std::string>{"all", "KSIM1"}));
  EXPECT_EQ(options->Matches, std::vector<std::string>{"vid:pid=1a86:7523"});
  EXPECT_TRUE(options->IncludeVirtual && options->Once && options->Confirm);
  EXPECT_EQ(options->ConfirmKeys, "12");
  const auto enter = Parse({"station", "--match", "serial=A", "--confirm", "a.IOS"});
  ASSERT_TRUE(enter);
  EXPECT_TRUE(enter->Confirm);
  EXPECT_EQ(enter->ConfirmKeys, "");
}

TEST(CliOptions, DefaultsVerifyAndFollowTheEditor) {
  const auto write = Parse({"write", "-p", "A", "a.IOS"});
  ASSERT_TRUE(write);
  EXPECT_TRUE(write->Verify);
  EXPECT_EQ(write->BaudIndex, 1);
  EXPECT_EQ(write->Level, Verbosity::Normal);
  const auto read = Parse({"read", "-p", "A", "-o", "-", "-v"});
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Output, "-");
  EXPECT_EQ(read->Level, Verbosity::Trace);
  const auto version = Parse({"--version"});
  ASSERT_TRUE(version);
  EXPECT_EQ(version->Action, Command::Version);
}

TEST(CliOptions, UsageErrorsAreNamed) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command: frobnicate"},
      {{"write", "codes.IOS"}, "--port is required"},
      {{"write", "--port", "KSIM1"}, "a code set file (.IOS) is required"},
      {{"write", "--port"}, "option --port needs a value"},
      {{"write", "--port="}, "option --port needs a value"},
      {{"write", "-p", "A", "a.IOS", "b.IOS"}, "unexpected argument: b.IOS"},
      {{"write", "-p", "A", "a.IOS", "--baud-index", "5"}, "--baud-index must be 0 to 4"},
      {{"write", "-p", "A", "a.IOS", "--baud-index", "1x"}, "--baud-index must be 0 to 4"},
      {{"write", "-p", "A", "a.IOS", "--baud", "9601"}, "--baud must be 4800"},
      {{"write", "-p", "A", "a.IOS", "--json=yes"}, "option --json takes no value"},
      {{"write", "-p", "A", "a.IOS", "--lang", "fr"}, "--lang must be en or zh"},
      {{"read", "--port", "A", "--verify"}, "unknown option for read: --verify"},
      {{"read", "-p", "A", "-p", "B"}, "read takes one --port"},
      {{"read", "-p", "A", "-o", "-", "--json"}, "--json and -o - both want stdout"},
      {{"image", "a.IOS"}, "-o OUT.bin is required"},
      {{"image", "a.IOS", "-o", "-"}, "-o OUT.bin is required"},
      {{"ports", "extra"}, "unexpected argument: extra"},
      {{"ports", "-x"}, "unknown option for ports: -x"},
      {{"verify", "-p", "A", "-p", "B", "a.IOS"}, "verify takes one --port"},
      {{"verify", "-p", "A", "a.IOS", "--no-verify"}, "unknown option for verify: --no-verify"},
      {{"station", "a.IOS"}, "--port or --match is required"},
      {{"station", "-p", "all", "a.IOS", "--confirm="}, "--confirm=KEYS wants"},
      {{"write", "-p", "A", "a.IOS", "--once"}, "unknown option for write: --once"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << (c.args.empty() ? "" : c.args.front());
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
}

TEST(CliOptions, LanguageFromTheOptionThenTheLocale) {
  EXPECT_EQ(ChooseLanguage(Language::English, "zh_CN.UTF-8", nullptr, nullptr), Language::English);
  EXPECT_EQ(ChooseLanguage(std::nullopt, nullptr, nullptr, "zh_CN.UTF-8"), Language::Chinese);
  // LC_ALL outranks LANG; an empty variable counts as unset.
  EXPECT_EQ(ChooseLanguage(std::nullopt, "C", nullptr, "zh_TW"), Language::English);
  EXPECT_EQ(ChooseLanguage(std::nullopt, "", "zh_CN", "en_US"), Language::Chinese);
  EXPECT_EQ(ChooseLanguage(std::nullopt, nullptr, nullptr, nullptr), Language::English);
}

}  // namespace
}  // namespace korvane::cli
