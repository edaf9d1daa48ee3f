#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace korvane::cli {
namespace {

// The user's own defaults never reach these tests.
const testing::ScopedEnvironment kNoUserDefaults("XDG_CONFIG_HOME",
                                                 std::string("/nonexistent/korvane-tests"));

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
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << (c.args.empty() ? "" : c.args.front());
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
}

// The user's defaults (cli.ini) in a folder of the test's own; `ini` empty:
// no defaults kept.
class ProfileFolder {
 public:
  explicit ProfileFolder(const std::string& ini) {
    std::filesystem::create_directories(dir_.Path() / "korvane");
    if (!ini.empty()) {
      testing::WriteBytes(DefaultsPath(), ini);
    }
  }
  std::string DefaultsPath() const { return (dir_.Path() / "korvane" / "cli.ini").string(); }
  std::string Write(const std::string& name, const std::string& ini) const {
    testing::WriteBytes(dir_.File(name), ini);
    return dir_.File(name);
  }

 private:
  testing::TempDir dir_;
  testing::ScopedEnvironment config_{"XDG_CONFIG_HOME", dir_.Path().string()};
};

const char* const kStationIni =
    "; line 3\r\n[korvane-cli]\r\nports = KSIM1, serial=A1 ,\r\nbaud=19200\r\n"
    "log=/var/log/korvane.jsonl\r\nstation=line 3\r\noperator = Wu\r\nbatch=B-0917\r\n"
    "matches = vid:pid=1a86:7523\r\n";

TEST(CliOptions, ProfileFillsWhatTheCommandLineLeavesOpen) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> ports;
    int baudIndex;
    std::string log;
    std::string station;
    std::string operatorName;
  };
  const std::string log = "/var/log/korvane.jsonl";
  const std::vector<Case> cases = {
      {{"write", "a.IOS"}, {"KSIM1", "serial=A1"}, 2, log, "line 3", "Wu"},
      {{"write", "a.IOS", "-p", "X", "--baud-index", "0", "--station", "S"},
       {"X"},
       0,
       log,
       "S",
       "Wu"},
      {{"write", "a.IOS", "--baud", "4800", "--log", "mine.jsonl", "--operator", "Ma"},
       {"KSIM1", "serial=A1"},
       0,
       "mine.jsonl",
       "line 3",
       "Ma"},
      {{"read", "-p", "A", "--operator=Li"}, {"A"}, 1, log, "line 3", "Li"},
      {{"image", "a.IOS", "-o", "a.bin"}, {}, 2, "", "", ""},  // the baud only
      {{"ports"}, {}, 1, "", "", ""},
  };
  const ProfileFolder folder(kStationIni);
  for (const Case& c : cases) {
    std::string error;
    const auto options = Parse(c.args, &error);
    ASSERT_TRUE(options) << c.args.front() << ": " << error;
    EXPECT_EQ(options->Ports, c.ports) << c.args.front();
    EXPECT_EQ(options->BaudIndex, c.baudIndex) << c.args.front();
    EXPECT_EQ(options->LogFile, c.log) << c.args.front();
    EXPECT_EQ(options->Station, c.station) << c.args.front();
    EXPECT_EQ(options->Operator, c.operatorName) << c.args.front();
    EXPECT_EQ(options->Matches, std::vector<std::string>{"vid:pid=1a86:7523"});
  }
}

TEST(CliOptions, NamedProfileReplacesTheDefaultsAndItsFaultsAreNamed) {
  const ProfileFolder folder("[korvane-cli]\nstation=default\noperator=Wu\n");
  const std::string named = folder.Write("line4.ini", "[Korvane-CLI]\nstation=line 4\n");
  const auto chosen = Parse({"read", "-p", "A", "--profile", named});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->Station, "line 4");
  EXPECT_EQ(chosen->Operator, "");  // only one profile is read

  const std::string badBaud = folder.Write("bad.ini", "[korvane-cli]\nbaud=9601\n");
  const std::string otherSection = folder.Write("other.ini", "[station]\nports=KSIM1\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"write", "a.IOS", "--profile", badBaud}, badBaud + ": baud: --baud must be 4800"},
      {{"image", "a.IOS", "-o", "b", "--profile=" + badBaud}, badBaud + ": baud"},
      {{"ports", "--profile", named + ".missing"},
       "cannot read the profile " + named + ".missing: no such file"},
      {{"write", "a.IOS", "--profile", otherSection}, "--port is required"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << c.args.back();
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
  EXPECT_TRUE(Parse({"write", "--profile", badBaud, "--help"}));  // help needs no profile
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
