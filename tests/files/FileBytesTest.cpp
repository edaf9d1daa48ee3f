#include "files/FileBytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(ReadFileBytes, TellsMissingFromUnreadable) {
  TempDir dir;
  WriteBytes(dir.File("plain"), std::string("a\0b", 3));
  const auto read = ReadFileBytes(dir.File("plain"));
  EXPECT_EQ(read.status, ReadStatus::kRead);
  EXPECT_EQ(read.bytes, std::string("a\0b", 3));
  EXPECT_EQ(ReadFileBytes(dir.File("absent")).status, ReadStatus::kMissing);
  EXPECT_EQ(ReadFileBytes(dir.File("plain/below")).status, ReadStatus::kMissing);
  const auto directory = ReadFileBytes(dir.Path().string());
  EXPECT_EQ(directory.status, ReadStatus::kFailed);
  EXPECT_FALSE(directory.error.empty());
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("fifo")).status, ReadStatus::kFailed);  // must not block
}

TEST(ReplaceFileBytes, KeepsModeAndWritesThroughLinks) {
  TempDir dir;
  const auto target = dir.File("real.IOS");
  WriteBytes(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  fs::create_directory(dir.Path() / "links");
  fs::create_symlink("../real.IOS", dir.Path() / "links" / "hop1");
  fs::create_symlink("hop1", dir.Path() / "links" / "hop2");

  ASSERT_TRUE(ReplaceFileBytes(dir.File("links/hop2"), "new"));
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "links" / "hop2"));
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "links" / "hop1"));
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(dir.EntryCount(), 2u);  // no temporary file left behind

  fs::create_symlink("dangling.IOS", dir.Path() / "to-new");
  ASSERT_TRUE(ReplaceFileBytes(dir.File("to-new"), "created"));
  EXPECT_EQ(ReadBytes(dir.File("dangling.IOS")), "created");
  fs::create_symlink("loop", dir.Path() / "loop");
  EXPECT_FALSE(ReplaceFileBytes(dir.File("loop"), "x"));
}

TEST(ReplaceFileBytes, FailsWithoutTouchingAnything) {
  TempDir dir;
  WriteBytes(dir.File("file"), "keep");
  std::string error;
  EXPECT_FALSE(ReplaceFileBytes(dir.File("no-such-dir/x.IOS"), "x", &error));
  EXPECT_NE(error.find("no-such-dir"), std::string::npos) << error;
  EXPECT_FALSE(ReplaceFileBytes(dir.File("file/x.IOS"), "x"));
  fs::create_directory(dir.Path() / "sub");
  EXPECT_FALSE(ReplaceFileBytes(dir.File("sub"), "x"));
  EXPECT_FALSE(ReplaceFileBytes("", "x"));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "sub"));
  EXPECT_EQ(ReadBytes(dir.File("file")), "keep");
  EXPECT_EQ(dir.EntryCount(), 2u);
}

// A write that fails midway (here: the file size limit, as a full disk would)
// must leave the old file whole.
TEST(ReplaceFileBytes, FailedWriteLeavesTheOldFile) {
  TempDir dir;
  const auto target = dir.File("codes.IOS");
  const std::string old = "[Keep]\r\nthis=" + std::string(1000, 'k') + "\r\n";
  WriteBytes(target, old);

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = ReplaceFileBytes(target, std::string(100000, 'n'), &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(ReplaceFileBytes, ReadOnlyTargetOrDirectoryIsRefused) {
  TempDir dir;
  const auto target = dir.File("codes.IOS");
  WriteBytes(target, "keep");
  const std::string failure = testing::RunWithoutPrivilege(dir.Path(), [&]() -> std::string {
    if (::chmod(target.c_str(), 0444) != 0 || ReplaceFileBytes(target, "x")) {
      return "replaced a read-only file";
    }
    if (::chmod(target.c_str(), 0644) != 0 || ::chmod(dir.Path().c_str(), 0555) != 0 ||
        ReplaceFileBytes(target, "x")) {
      return "replaced a file in a read-only folder";
    }
    return "";
  });
  EXPECT_EQ(failure, "");
  EXPECT_EQ(ReadBytes(target), "keep");
}

}  // namespace
}  // namespace korvane
