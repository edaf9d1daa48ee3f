#include "device/ConfigImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace korvane {
namespace {

class ConfigImageTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = ConfigFilePathIn(dir_.string() + "/"); }

  std::string ReadFile() const { return test::ReadBytes(path_); }

  std::string Build(const CodeTable& table, int baud) {
    DeleteImageFile(path_);
    const TResult<TImageFile> built = BuildImage(table, baud, path_, nullptr);
    EXPECT_TRUE(built.Ok()) << built.Message();
    const std::string image = ReadFile();
    EXPECT_EQ(image, ComposeImage(table, baud));
    return image;
  }

  test::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  std::string path_;
};

TEST_F(ConfigImageTest, EmptyTableIsAllZeroButTheBaudByte) {
  const std::string image = Build(CodeTable{}, 1);
  ASSERT_EQ(image.size(), kImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) {
    ASSERT_EQ(image[i], i == kBaudOffset ? '\x01' : '\0') << "offset " << i;
  }
}

TEST_F(ConfigImageTest, AreasSitAtTheirOffsetsWithLengthFromTheText) {
  CodeTable table;
  table.SetText(1, 1, "0102FF");
  table.SetText(3, 6, "ABC");    // button 3 UpSend 2
  table.SetText(2, 5, "12 34");  // five characters: length 3
  table.SetText(4, 8, "7");      // last area of the image
  const std::string image = Build(table, 4);

  EXPECT_EQ(image.substr(0, 4), "\x03\x01\x02\xFF"s);
  EXPECT_EQ(image.substr(4, 60), std::string(60, '\0'));
  EXPECT_EQ(AreaOffset(3, 6), 1344u);
  EXPECT_EQ(image.substr(1344, 4), "\x02\xAB\x0C\x00"s);
  EXPECT_EQ(AreaOffset(2, 5), 768u);
  EXPECT_EQ(image.substr(768, 4), "\x03\x12\x34\x00"s);
  EXPECT_EQ(AreaOffset(4, 8), 1984u);
  EXPECT_EQ(image.substr(1984, 3), "\x01\x07\x00"s);
  EXPECT_EQ(image[kBaudOffset], '\x04');
  EXPECT_EQ(image.substr(kBaudOffset + 1), std::string(511, '\0'));
}

TEST_F(ConfigImageTest, NoBaudSelectionWritesFourFFBytes) {
  const std::string image = Build(CodeTable{}, -1);
  EXPECT_EQ(image.substr(kBaudOffset, 5), "\xFF\xFF\xFF\xFF\x00"s);
}

TEST_F(ConfigImageTest, A126DigitCodeFillsItsAreaExactly) {
  CodeTable table;
  table.SetText(1, 2, std::string(126, 'E'));
  table.SetText(1, 3, "01");
  const std::string image = Build(table, 1);
  EXPECT_EQ(image[64], '\x3F');
  EXPECT_EQ(image.substr(65, 63), std::string(63, '\xEE'));
  EXPECT_EQ(image.substr(128, 2), "\x01\x01"s);  // the next area is untouched
}

TEST_F(ConfigImageTest, OverlongCodesNeverSpillIntoTheNextArea) {
  CodeTable table;
  table.SetText(1, 1, std::string(600, 'A'));  // length 300 would not fit a byte either
  table.SetText(1, 2, "55");
  const std::string image = Build(table, 1);
  ASSERT_EQ(image.size(), kImageSize);
  EXPECT_EQ(image[0], '\x3F');
  EXPECT_EQ(image.substr(1, 63), std::string(63, '\xAA'));
  EXPECT_EQ(image.substr(64, 3), "\x01\x55\x00"s);

  const auto overlong = FindOverlongCodes(table);
  ASSERT_EQ(overlong.size(), 1u);
  EXPECT_EQ(overlong[0].Button, 1);
  EXPECT_EQ(overlong[0].Slot, 1);
  EXPECT_EQ(overlong[0].Length, 600u);
}

TEST_F(ConfigImageTest, FindOverlongCodesReportsEverySlotOver126) {
  CodeTable table;
  table.SetText(2, 7, std::string(127, '1'));
  table.SetText(4, 1, std::string(200, '1'));
  table.SetText(3, 3, std::string(126, '1'));
  const auto overlong = FindOverlongCodes(table);
  ASSERT_EQ(overlong.size(), 2u);
  EXPECT_EQ(overlong[0].Button, 2);
  EXPECT_EQ(overlong[0].Slot, 7);
  EXPECT_EQ(overlong[1].Button, 4);
  EXPECT_EQ(overlong[1].Slot, 1);
}

TEST_F(ConfigImageTest, OldFileOfAnotherSizeIsReplaced) {
  std::ofstream(path_, std::ios::binary) << std::string(5000, 'x');
  EXPECT_EQ(Build(CodeTable{}, 0).size(), kImageSize);
  std::ofstream(path_, std::ios::binary) << "short";
  EXPECT_EQ(Build(CodeTable{}, 0), std::string(kImageSize, '\0'));
}

TEST_F(ConfigImageTest, BuildSignalsOneStepPerArea) {
  int steps = 0;
  Discard(BuildImage(CodeTable{}, 1, path_, [&] { ++steps; }));
  EXPECT_EQ(steps, 32);
}

TEST_F(ConfigImageTest, WriteImageBytesRules) {
  const TResult<TImageFile> file = TImageFile::Open(path_);
  ASSERT_TRUE(file.Ok()) << file.Message();
  EXPECT_FALSE(WriteImageBytes(file.Value(), "", 0).Ok());
  EXPECT_EQ(fs::file_size(path_), 0u);  // an empty write writes nothing
  EXPECT_TRUE(WriteImageBytes(file.Value(), "\x01\x02"s, 10).Ok());
  EXPECT_EQ(fs::file_size(path_), kImageSize);
  EXPECT_FALSE(WriteImageBytes(file.Value(), "\x01\x02"s, kImageSize - 1).Ok());
  EXPECT_FALSE(TImageFile::Open((dir_ / "missing" / "x.bin").string()).Ok());
}

TEST_F(ConfigImageTest, ReadBlockGivesEachBlockAnew) {
  CodeTable table;
  table.SetText(2, 1, "AA");
  DeleteImageFile(path_);
  const TResult<TImageFile> file = BuildImage(table, 2, path_, nullptr);
  ASSERT_TRUE(file.Ok()) << file.Message();
  const auto block1 = ReadImageBlock(file.Value(), 1);
  ASSERT_TRUE(block1.Ok());
  EXPECT_EQ(block1.Value().size(), kBlockSize);
  EXPECT_EQ(block1.Value().substr(0, 2), "\x01\xAA"s);
  EXPECT_EQ(ReadImageBlock(file.Value(), 4).Value().front(), '\x02');
  EXPECT_FALSE(ReadImageBlock(file.Value(), 5).Ok());

  test::WriteBytes(path_, std::string(kImageSize, '\x0B'));  // a changed file is read again
  EXPECT_EQ(ReadImageBlock(file.Value(), 1).Value().substr(0, 2), "\x0B\x0B"s);

  DeleteImageFile(path_);  // the name goes, the file read stays
  EXPECT_EQ(ReadImageBlock(file.Value(), 1).Value().substr(0, 2), "\x0B\x0B"s);
  DeleteImageFile(path_);  // deleting an absent file is not an error
}

TEST_F(ConfigImageTest, UnwritableLocationLeavesNoImageAndSaysWhy) {
  const std::string path = ConfigFilePathIn((dir_ / "no-such-dir").string() + "/");
  const TResult<TImageFile> built = BuildImage(CodeTable{}, 1, path, nullptr);
  EXPECT_FALSE(built.Ok());
  EXPECT_EQ(built.Message(), "cannot open " + path + ": No such file or directory");
  EXPECT_FALSE(fs::exists(path));
}

// An old image in a folder where it cannot be removed: rewritten whole when
// it is writable, reported and left alone when it is not.
TEST_F(ConfigImageTest, OldImageThatCannotBeRemoved) {
  struct Case {
    fs::perms filePerms;
    bool built;
    std::string cause;
  };
  CodeTable table;
  table.SetText(1, 1, "01");
  for (const Case& c : {Case{fs::perms::owner_read | fs::perms::owner_write, true, ""},
                        Case{fs::perms::owner_read, false, ": Permission denied"}}) {
    SCOPED_TRACE(c.built);
    std::ofstream(path_, std::ios::binary) << std::string(kImageSize, '\x5A');
    const std::string failure = test::RunWithoutPrivilege(dir_, [&]() -> std::string {
      std::error_code error;
      fs::permissions(path_, c.filePerms, error);
      fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec, error);
      DeleteImageFile(path_);
      const TResult<TImageFile> status = BuildImage(table, 1, path_, nullptr);
      const bool built = status.Ok();
      const std::string cause = built ? std::string() : status.Message();
      fs::permissions(dir_, fs::perms::owner_all, error);
      if (error) {
        return "cannot change permissions: " + error.message();
      }
      if (built != c.built || cause.size() < c.cause.size() ||
          cause.compare(cause.size() - c.cause.size(), c.cause.size(), c.cause) != 0) {
        return "built " + std::to_string(built) + ", cause \"" + cause + "\"";
      }
      return "";
    });
    EXPECT_EQ(failure, "");
    EXPECT_EQ(ReadFile(), c.built ? ComposeImage(table, 1) : std::string(kImageSize, '\x5A'));
    fs::permissions(path_, fs::perms::owner_all);
  }
}

TEST_F(ConfigImageTest, BlockReadAgainstTheBuiltImage) {
  CodeTable table;
  table.SetText(3, 1, "77");
  const std::string image = ComposeImage(table, 1);
  const TResult<TImageFile> built = BuildImage(table, 1, path_, nullptr);
  ASSERT_TRUE(built.Ok()) << built.Message();
  const TImageFile& file = built.Value();
  EXPECT_EQ(ReadCheckedImageBlock(file, 2, image).Value(), image.substr(1024, kBlockSize));
  Discard(WriteImageBytes(file, "\x66"s, 1030));
  const TResult<std::string> changed = ReadCheckedImageBlock(file, 2, image);
  EXPECT_FALSE(changed.Ok());
  EXPECT_EQ(
      changed.Message(),
      "block 2 of " + path_ + " no longer holds the image built (changed by another program?)");
  EXPECT_TRUE(ReadCheckedImageBlock(file, 1, image).Ok());
  fs::resize_file(path_, 1500);
  const TResult<std::string> cut = ReadCheckedImageBlock(file, 3, image);
  EXPECT_FALSE(cut.Ok());
  EXPECT_EQ(cut.Message(), "cannot read block 3 of " + path_ + ": the file is short");
}

}  // namespace
}  // namespace korvane
