#include "platform/WriteProbe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TempDir.h"

namespace korvane {
namespace {

// The probe answers with the system's reason and never leaves its file behind.
TEST(WriteProbeTest, AnswersForTheFolderAndLeavesNothing) {
  test::TempDir dir;
  const std::string folder = dir.Path().string() + "/";
  struct Case {
    std::string prefix;
    std::error_code expected;  // empty: the probe succeeds
  };
  const std::vector<Case> cases = {
      {folder + ".probe-", {}},
      {folder + "missing/.probe-", std::make_error_code(std::errc::no_such_file_or_directory)},
      {dir.File("plain") + "/.probe-", std::make_error_code(std::errc::not_a_directory)},
  };
  std::ofstream(dir.File("plain")) << "x";
  for (const Case& c : cases) {
    const TStatus probed = ProbeNewFile(c.prefix);
    EXPECT_EQ(probed.Ok() ? std::error_code() : probed.Error().Code, c.expected) << c.prefix;
    EXPECT_EQ(probed.Ok() ? "" : probed.Message(), c.expected ? c.expected.message() : "");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // "plain"
}

}  // namespace
}  // namespace korvane
