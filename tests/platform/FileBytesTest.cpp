#include "platform/FileBytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(ReadFileBytes, TellsMissingFromUnreadable) {
  TempDir dir;
  WriteBytes(dir.File("plain"), std::string("a\0b", 3));
  const auto read = ReadFileBytes(dir.File("plain"));
  ASSERT_TRUE(read && read.Value());
  EXPECT_EQ(*read.Value(), std::string("a\0b", 3));
  for (const char* missing : {"absent", "plain/below"}) {
    const auto none = ReadFileBytes(dir.File(missing));
    EXPECT_TRUE(none && !none.Value()) << missing;
  }
  const auto directory = ReadFileBytes(dir.Path().string());
  ASSERT_FALSE(directory);
  EXPECT_EQ(directory.Error().Id, TextId::kFileNotRegular);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadFileBytes(dir.File("fifo")));  // must not block
}

// Each file failure in both languages: the Chinese exactly as the editor has
// always shown it, the reason in the catalogue's words where it has them.
TEST(FileFailure, SaysWhatFailedAndWhyInEitherLanguage) {
  struct Case {
    TError Error;
    const char* Chinese;
    const char* English;
  };
  const auto sys = [](int err) { return std::error_code(err, std::generic_category()); };
  const std::vector<Case> cases = {
      {FileFailure(TextId::kFileRead, "/d/a.IOS", sys(ENOENT)),
       "无法读取 /d/a.IOS：文件或文件夹不存在", "cannot read /d/a.IOS: No such file or directory"},
      {FileFailure(TextId::kFileWrite, "a", sys(EPERM)), "无法写入 a：没有权限",
       "cannot write a: Permission denied"},
      {FileFailure(TextId::kFileCreateBeside, "a", sys(EDQUOT)),
       "无法在 a 所在的文件夹中创建文件：磁盘空间不足",
       "cannot create a file beside a: No space left on device"},
      {FileFailure(TextId::kFileWrite, "a", sys(EROFS)), "无法写入 a：只读的文件系统",
       "cannot write a: Read-only file system"},
      {FileFailure(TextId::kFileWrite, "a", sys(ETXTBSY)), "无法写入 a：文件正被其他程序使用",
       "cannot write a: In use by another program"},
      {FileFailure(TextId::kFileReach, "a", sys(ELOOP)),
       "无法访问 a：Too many levels of symbolic links",
       "cannot reach a: Too many levels of symbolic links"},
      {MissingFileError("b"), "无法读取 b：文件或文件夹不存在",
       "cannot read b: No such file or directory"},
      {MakeError(TextId::kFileNotRegular, {"d"}), "d 不是普通文件",
       "cannot use d: not a regular file"},
      {MakeError(TextId::kFileLineBreak, {"a", "IO3 ButtonUpSend2"}),
       "发送码 IO3 ButtonUpSend2 含有换行符，无法保存",
       "code IO3 ButtonUpSend2 holds a line break and cannot be saved"},
      {MakeError(TextId::kFileNoName), "没有文件名", "cannot write a file without a name"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.Error.Words(Language::Chinese), c.Chinese);
    EXPECT_EQ(c.Error.Words(Language::English), c.English);
    EXPECT_EQ(c.Error.Message, c.English);
  }
  EXPECT_EQ(MissingFileError("b").Code, std::errc::no_such_file_or_directory);
}

TEST(ReplaceFileBytes, KeepsModeAndWritesThroughLinks) {
  TempDir dir;
  const auto target = dir.File("real.IOS");
  WriteBytes(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  fs::create_directory(dir.Path() / "links");
  fs::create_symlink("../real.IOS", dir.Path() / "links" / "hop1");
  fs::create_symlink("hop1", dir.Path() / "links" / "hop2");

  ASSERT_TRUE(ReplaceFileBytes(dir.File("links/hop2"), "new").Ok());
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "links" / "hop2"));
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "links" / "hop1"));
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(dir.EntryCount(), 2u);  // no temporary file left behind

  fs::create_symlink("dangling.IOS", dir.Path() / "to-new");
  ASSERT_TRUE(ReplaceFileBytes(dir.File("to-new"), "created").Ok());
  EXPECT_EQ(ReadBytes(dir.File("dangling.IOS")), "created");
  fs::create_symlink("loop", dir.Path() / "loop");
  EXPECT_FALSE(ReplaceFileBytes(dir.File("loop"), "x").Ok());
}

TEST(ReplaceFileBytes, FailsWithoutTouchingAnything) {
  TempDir dir;
  WriteBytes(dir.File("file"), "keep");
  const TStatus missing = ReplaceFileBytes(dir.File("no-such-dir/x.IOS"), "x");
  EXPECT_FALSE(missing.Ok());
  EXPECT_NE(missing.Message().find("no-such-dir"), std::string::npos) << missing.Message();
  EXPECT_EQ(missing.Error().Code, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(ReplaceFileBytes(dir.File("file/x.IOS"), "x").Ok());
  fs::create_directory(dir.Path() / "sub");
  EXPECT_FALSE(ReplaceFileBytes(dir.File("sub"), "x").Ok());
  EXPECT_FALSE(ReplaceFileBytes("", "x").Ok());
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
  const TStatus status = ReplaceFileBytes(target, std::string(100000, 'n'));
  const bool written = status.Ok();
  const std::string error = written ? std::string() : status.Message();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(dir.EntryCount(), 1u);
}

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_ino;
}

// Where the folder takes no temporary file but the file may be written, the
// file is written in place; every other refusal leaves things as they were.
TEST(ReplaceFileBytes, ReadOnlyTargetOrFolder) {
  struct Case {
    const char* name;
    mode_t fileMode;  // 0: no file yet
    rlim_t sizeLimit;
    std::string result;  // "written in place", or the English text of the failure
    const char* chinese;
  };
  TempDir dir;
  const auto target = dir.File("codes.IOS");
  const std::string folderDenied = "its folder takes no temporary file (Permission denied)";
  const std::vector<Case> cases = {
      {"read-only file", 0444, RLIM_INFINITY, "cannot write " + target + ": Permission denied",
       "无法写入 "},
      {"writable file, read-only folder", 0640, RLIM_INFINITY, "written in place", ""},
      {"new file, read-only folder", 0, RLIM_INFINITY,
       "cannot create a file beside " + target + ": Permission denied", "所在的文件夹中创建文件"},
      {"writable file, read-only folder, full disk", 0640, 64,
       "cannot write " + target + ": " + folderDenied +
           " and writing the file in place failed too: File too large",
       "所在的文件夹中不能创建临时文件（没有权限），直接写入该文件也失败：文件太大"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::permissions(dir.Path(), fs::perms::owner_all);
    fs::remove(target);
    if (c.fileMode != 0) {
      WriteBytes(target, "keep");
      ASSERT_EQ(::chmod(target.c_str(), c.fileMode), 0);
    }
    const ino_t inode = c.fileMode != 0 ? InodeOf(target) : 0;
    const std::string result = test::RunWithoutPrivilege(dir.Path(), [&]() -> std::string {
      rlimit saved{};
      ::getrlimit(RLIMIT_FSIZE, &saved);
      rlimit limit = saved;
      limit.rlim_cur = c.sizeLimit;
      const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
      ::chmod(dir.Path().c_str(), 0555);
      ::setrlimit(RLIMIT_FSIZE, &limit);
      const TStatus written = ReplaceFileBytes(target, std::string(100, 'n'));
      ::setrlimit(RLIMIT_FSIZE, &saved);
      std::signal(SIGXFSZ, previousHandler);
      ::chmod(dir.Path().c_str(), 0755);
      if (written) {
        return "written in place";
      }
      const std::string chinese = written.Error().Words(Language::Chinese);
      return chinese.find(c.chinese) == std::string::npos ? "Chinese text: " + chinese
                                                          : written.Message();
    });
    EXPECT_EQ(result, c.result);
    if (c.fileMode == 0) {
      EXPECT_FALSE(fs::exists(target));
    } else if (c.result == "written in place") {
      EXPECT_EQ(ReadBytes(target), std::string(100, 'n'));
      EXPECT_EQ(InodeOf(target), inode);
      EXPECT_EQ(ModeOf(target), c.fileMode);
    } else {
      EXPECT_EQ(ReadBytes(target), "keep");
    }
    EXPECT_EQ(dir.EntryCount(), c.fileMode == 0 ? 0u : 1u);  // no temporary file left
  }
}

}  // namespace
}  // namespace korvane
