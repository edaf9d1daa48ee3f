#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace korvane::cli {
namespace {

// The user's own defaults never reach these tests.
const test::ScopedEnvironment kNoUserDefaults("XDG_CONFIG_HOME",
                                              std::string("/nonexistent/korvane-tests"));

std::optional<CliOptions> Parse(const std::vector<std::string>& args,
                                std::string* errorOut = nullptr) {
  std::vector<std::string> argv{"korvane-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  TResult<CliOptions> parsed = ParseCommandLine(argv);
  if (!parsed) {
    if (errorOut != nullptr) {
      *errorOut = parsed.Message();
    }
    return std::nullopt;
  }
  return std::move(parsed).Value();
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
      {{"image", "a.IOS"}, "-o OUT.bin (or -o - for stdout) is required"},
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

// What a profile decided: "ports;baud index;log;station;operator".
std::string Summary(const CliOptions& o) {
  std::string ports;
  for (const std::string& port : o.Ports) {
    ports += (ports.empty() ? "" : ",") + port;
  }
  return ports + ";" + std::to_string(o.BaudIndex) + ";" + o.LogFile + ";" + o.Station + ";" +
         o.Operator;
}

TEST(CliOptions, ProfileFillsWhatTheCommandLineLeavesOpen) {
  const test::TempDir dir;  // the user's defaults in a folder of the test's own
  const test::ScopedEnvironment config("XDG_CONFIG_HOME", dir.Path().string());
  std::filesystem::create_directory(dir.Path() / "korvane");
  test::WriteBytes(
      dir.File("korvane/cli.ini"),
      "; line 3\r\n[korvane-cli]\r\nports = KSIM1, serial=A1 ,\r\nbaud=19200\r\nlog=/l.jsonl\r\n"
      "station=line 3\r\noperator = Wu\r\nmatches = vid:pid=1a86:7523\r\n");
  const std::string named = dir.File("line4.ini");
  const std::string bad = dir.File("bad.ini");
  const std::string other = dir.File("other.ini");
  test::WriteBytes(named, "[Korvane-CLI]\nstation=line 4\n");
  test::WriteBytes(bad, "[korvane-cli]\nbaud=9601\n");
  test::WriteBytes(other, "[station]\nports=KSIM1\n");
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // the summary, or "error: " and the start of the message
  };
  const std::vector<Case> cases = {
      {{"write", "a.IOS"}, "KSIM1,serial=A1;2;/l.jsonl;line 3;Wu"},
      {{"write", "a.IOS", "-p", "X", "--baud-index", "0", "--station", "S"}, "X;0;/l.jsonl;S;Wu"},
      {{"write", "a.IOS", "--baud", "4800", "--log", "m", "--operator", "Ma"},
       "KSIM1,serial=A1;0;m;line 3;Ma"},
      {{"read", "-p", "A"}, "A;1;/l.jsonl;line 3;Wu"},
      {{"image", "a.IOS", "-o", "a.bin"}, ";2;;;"},               // the baud only
      {{"read", "-p", "A", "--profile", named}, "A;1;;line 4;"},  // instead of the defaults
      {{"write", "a.IOS", "--profile", bad}, "error: " + bad + ": baud: --baud must be 4800"},
      {{"ports", "--profile", bad + "x"}, "error: cannot read the profile " + bad + "x: No such"},
      {{"write", "a.IOS", "--profile", other}, "error: --port is required"},
      {{"write", "--profile", bad, "--help"}, ";1;;;"},  // help needs no profile
  };
  for (const Case& c : cases) {
    std::string error;
    const auto options = Parse(c.args, &error);
    const std::string actual = options ? Summary(*options) : "error: " + error;
    const bool isError = c.expected.rfind("error: ", 0) == 0;
    EXPECT_EQ(isError ? actual.substr(0, c.expected.size()) : actual, c.expected) << c.args.back();
  }
  EXPECT_EQ(Parse({"ports"})->Matches, std::vector<std::string>{"vid:pid=1a86:7523"});
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
