#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "device/ImageFolder.h"
#include "model/CodeTable.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

class ImageFolderTest : public ::testing::Test {
 protected:
  test::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  const std::string program_ = (dir_ / "bin").string() + "/";
  const std::string state_ = (dir_ / "state" / "korvane").string() + "/";
  void SetUp() override { fs::create_directory(dir_ / "bin"); }
};

TEST_F(ImageFolderTest, WritableProgramFolderKeepsTheImageAndIsLeftClean) {
  EXPECT_EQ(ImageDirectoryFor(program_, state_), program_);
  EXPECT_TRUE(fs::is_empty(dir_ / "bin"));
  EXPECT_FALSE(fs::exists(dir_ / "state"));
}

TEST_F(ImageFolderTest, ReadOnlyProgramFolderMovesTheImageToTheStateFolder) {
  const std::string failure = test::RunWithoutPrivilege(dir_, [&]() -> std::string {
    fs::permissions(dir_ / "bin", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string chosen = ImageDirectoryFor(program_, state_);
    if (chosen != state_) {
      return "chose " + chosen;
    }
    if (!fs::is_directory(state_)) {
      return "state folder not made";
    }
    const std::string problem = ImageFileProblem(ConfigFilePathIn(program_)).Message();
    if (problem.find("ermission") == std::string::npos) {
      return "program folder problem: '" + problem + "'";
    }
    Discard(BuildImage(CodeTable{}, 1, ConfigFilePathIn(chosen), nullptr));
    fs::permissions(dir_ / "bin", fs::perms::owner_all);
    return "";
  });
  EXPECT_EQ(failure, "");
  EXPECT_EQ(fs::file_size(ConfigFilePathIn(state_)), kImageSize);
}

// An installed copy's folder is writable by its user but belongs to the
// installer: the image goes to the state folder all the same.
TEST_F(ImageFolderTest, InstalledProgramFolderSendsTheImageToTheStateFolder) {
  std::ofstream(program_ + kInstalledMarker) << "installed";
  EXPECT_EQ(ImageDirectoryFor(program_, state_), state_);
  EXPECT_TRUE(fs::is_directory(state_));
  EXPECT_EQ(temp_.EntryCount(), 2u);  // bin and state
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "bin"), fs::directory_iterator()), 1)
      << "nothing but the marker in the program folder";
  EXPECT_EQ(ImageDirectoryFor(program_, TError{}), program_) << "no state folder known";
}

TEST_F(ImageFolderTest, NoStateFolderKnownKeepsTheProgramFolder) {
  const std::string missing = (dir_ / "no-such-folder").string() + "/";
  EXPECT_EQ(ImageDirectoryFor(missing, TError{}), missing);
  EXPECT_EQ(ImageFileProblem(ConfigFilePathIn(missing)).Message(), "No such file or directory");
}

// An old read-only image in a writable folder is deleted and made anew, so
// it is no reason to stop; in a read-only folder it is.
TEST_F(ImageFolderTest, ReadOnlyOldImageStopsOnlyInAReadOnlyFolder) {
  const std::string image = ConfigFilePathIn(program_);
  std::ofstream(image) << "old";
  const std::string failure = test::RunWithoutPrivilege(dir_, [&]() -> std::string {
    fs::permissions(image, fs::perms::owner_read);
    if (const TStatus problem = ImageFileProblem(image); !problem.Ok()) {
      return "writable folder: " + problem.Message();
    }
    fs::permissions(dir_ / "bin", fs::perms::owner_read | fs::perms::owner_exec);
    const bool passed = ImageFileProblem(image).Ok();
    fs::permissions(dir_ / "bin", fs::perms::owner_all);
    return passed ? "read-only folder passed" : "";
  });
  EXPECT_EQ(failure, "");
  EXPECT_EQ(fs::file_size(image), 3u);  // checking never changes an old image
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "bin"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace korvane
