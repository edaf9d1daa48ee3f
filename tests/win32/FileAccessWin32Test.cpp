#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "device/ConfigImage.h"
#include "device/ImageFolder.h"
#include "platform/FileBytes.h"
#include "platform/Folders.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

TEST(FileAccessWin32, ReplacingAFileIsWholeAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir.File("codes.IOS");
  const auto none = ReadFileBytes(path);
  EXPECT_TRUE(none && !none.Value());

  ASSERT_TRUE(ReplaceFileBytes(path, std::string("first\r\n\0x", 9)).Ok());
  ASSERT_TRUE(ReplaceFileBytes(path, "second").Ok());
  const auto contents = ReadFileBytes(path);
  ASSERT_TRUE(contents && contents.Value());
  EXPECT_EQ(*contents.Value(), "second");
  EXPECT_EQ(dir.EntryCount(), 1u);

  const TStatus missing = ReplaceFileBytes(dir.File("no-such-dir\\x.IOS"), "x");
  EXPECT_FALSE(missing.Ok());
  EXPECT_NE(missing.Message().find("no-such-dir"), std::string::npos) << missing.Message();
  // As on Linux: the folder takes no file, since it is not there.
  EXPECT_EQ(missing.Error().Id, TextId::kFileCreateBeside) << missing.Message();
  EXPECT_NE(missing.Error().Words(Language::Chinese).find("文件或文件夹不存在"), std::string::npos)
      << missing.Message();
  EXPECT_FALSE(ReadFileBytes(dir.Path().string()));
}

TEST(FileAccessWin32, TheImageFileIsSizedWrittenInPlaceAndReadByBlock) {
  test::TempDir dir;
  const std::string path = ConfigFilePathIn(dir.Path().string() + "\\");
  const TResult<TImageFile> file = TImageFile::Open(path);
  ASSERT_TRUE(file.Ok()) << file.Message();
  ASSERT_TRUE(WriteImageBytes(file.Value(), "\x05\x01\x02", 512).Ok());
  ASSERT_TRUE(WriteImageBytes(file.Value(), "\x7F", kImageSize - 1).Ok());
  EXPECT_FALSE(WriteImageBytes(file.Value(), "xx", kImageSize - 1).Ok());
  const std::string bytes = test::ReadBytes(path);
  ASSERT_EQ(bytes.size(), kImageSize);
  EXPECT_EQ(bytes.substr(512, 3), "\x05\x01\x02");

  const auto block1 = ReadImageBlock(file.Value(), 1);
  ASSERT_TRUE(block1.Ok());
  EXPECT_EQ(block1.Value().substr(0, 3), "\x05\x01\x02");
  EXPECT_EQ(ReadImageBlock(file.Value(), 4).Value().back(), '\x7F');
  EXPECT_FALSE(TImageFile::Open(dir.File("missing\\x.bin")).Ok());
  // A link at the image's name is opened as the link itself and refused
  // (FILE_FLAG_OPEN_REPARSE_POINT): Wine cannot create a reparse point, so
  // that refusal is not exercised here; the Linux tests plant real links.
}

TEST(FileAccessWin32, OnlyOneProgramAtATimeHoldsTheImageLock) {
  test::TempDir dir;
  const std::string image = dir.File("Configuration.bin");
  auto first = TImageFileLock::TryAcquire(image).Value();
  ASSERT_TRUE(first);
  EXPECT_FALSE(TImageFileLock::TryAcquire(image).Value());
  first.reset();
  EXPECT_TRUE(TImageFileLock::TryAcquire(image).Value());
}

TEST(FileAccessWin32, TheImageMovesToLocalAppDataWhereTheProgramFolderTakesNoFiles) {
  test::TempDir dir;
  const std::string appData = dir.Path().string();
  ASSERT_EQ(::_putenv_s("LOCALAPPDATA", appData.c_str()), 0);
  const std::string state = StateFolder().Value();
  EXPECT_EQ(state, appData + "\\korvane\\");

  const std::string writable = appData + "\\";
  EXPECT_EQ(ImageDirectoryFor(writable, state), writable);
  EXPECT_EQ(dir.EntryCount(), 0u);  // the check leaves nothing behind

  const std::string missing = appData + "\\no-such-dir\\";
  EXPECT_FALSE(ImageFileProblem(ConfigFilePathIn(missing)).Ok());
  EXPECT_EQ(ImageDirectoryFor(missing, state), state);
  EXPECT_TRUE(TImageFile::Open(ConfigFilePathIn(state)).Ok());

  // An installed copy's folder is writable, but the installer's.
  ASSERT_TRUE(ReplaceFileBytes(writable + kInstalledMarker, "installed").Ok());
  EXPECT_EQ(ImageDirectoryFor(writable, state), state);
}

}  // namespace
}  // namespace korvane
