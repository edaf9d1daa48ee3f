#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "platform/AppendFile.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

// Processes appending to one file at the same time: each line arrives whole,
// once.
TEST(AppendFileTest, LinesOfSeveralProcessesArriveWhole) {
  test::TempDir dir;
  const std::string path = dir.File("station.jsonl");
  std::vector<pid_t> children;
  for (char process = '0'; process < '4'; ++process) {
    children.push_back(::fork());
    if (children.back() == 0) {
      TResult<TAppendFile> file = TAppendFile::Open(path);
      bool ok = file.Ok();
      for (int line = 0; ok && line < 100; ++line) {
        ok = file.Value().Append(process + std::string(900, 'x') + "\n").Ok();
      }
      ::_exit(ok && file.Value().Close() ? 0 : 1);
    }
  }
  for (const pid_t child : children) {
    int status = -1;
    EXPECT_TRUE(::waitpid(child, &status, 0) == child && WIFEXITED(status) && !WEXITSTATUS(status));
  }
  std::istringstream lines(test::ReadBytes(path));
  std::map<char, int> perProcess;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_EQ(line, line.front() + std::string(900, 'x'));
    ++perProcess[line.front()];
  }
  EXPECT_EQ(perProcess, (std::map<char, int>{{'0', 100}, {'1', 100}, {'2', 100}, {'3', 100}}));
}

// A link at the name is refused and its target left alone; a write cut short
// (here by the file size limit) is a full disk.
TEST(AppendFileDeathTest, FailuresCarryTheSystemsCode) {
  test::TempDir dir;
  test::WriteBytes(dir.File("target"), "kept");
  std::filesystem::create_symlink(dir.File("target"), dir.File("link"));
  struct Case {
    std::string path;
    rlim_t sizeLimit;  // 0: none set
    std::errc expected;
  };
  for (const auto& [path, sizeLimit, expected] :
       {Case{dir.File("link"), 0, std::errc::too_many_symbolic_link_levels},
        Case{dir.File("limited"), 4, std::errc::no_space_on_device}}) {
    const auto failsAsExpected = [&] {
      const rlimit limit{sizeLimit, sizeLimit};
      if (sizeLimit != 0 &&
          (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)) {
        return false;
      }
      TResult<TAppendFile> file = TAppendFile::Open(path);
      const TStatus done = file ? file.Value().Append("line\n") : TStatus(file.Error());
      return !done && done.Error().Code == expected;
    };
    EXPECT_EXIT(std::_Exit(failsAsExpected() ? 0 : 1), ::testing::ExitedWithCode(0), "") << path;
  }
  EXPECT_EQ(test::ReadBytes(dir.File("target")), "kept");
}

}  // namespace
}  // namespace korvane
