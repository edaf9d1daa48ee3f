#include "sim/SimOptions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sim/ImageFile.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace korvane {
namespace {

TEST(SimOptionsTest, DefaultsPlayAWellBehavedPacedDevice) {
  const SimOptions options = ParseSimOptions({}).Value();
  EXPECT_TRUE(options.Pacing);
  EXPECT_FALSE(options.Stall);
  EXPECT_FALSE(options.Verbose);
  EXPECT_TRUE(options.Name.empty());
  EXPECT_TRUE(options.ImagePath.empty());
  EXPECT_FALSE(options.DropAfter.has_value());
  EXPECT_EQ(options.ReplyDelay, 0ms);
  EXPECT_EQ(options.Device.AnswerRequestFrom, 1);
  EXPECT_EQ(options.Device.ReadReplyBytes, 3072u);
  EXPECT_FALSE(options.Device.Silent || options.Device.Echo || options.Device.ExtraByte ||
               options.Device.CorruptImage);
}

TEST(SimOptionsTest, EverySwitchIsParsed) {
  const SimOptions options = ParseSimOptions({"--name",
                                              "BENCH",
                                              "--image=/tmp/a.bin",
                                              "--no-pacing",
                                              "--silent",
                                              "--extra-byte",
                                              "--echo",
                                              "--answer-request-from",
                                              "6",
                                              "--ack-block-from",
                                              "2:3",
                                              "--ack-block-from=4:2",
                                              "--read-reply-bytes",
                                              "3071",
                                              "--drop-after",
                                              "520",
                                              "--reply-delay",
                                              "250",
                                              "--corrupt-image",
                                              "--stall",
                                              "-v"})
                                 .Value();
  EXPECT_EQ(options.Name, "BENCH");
  EXPECT_EQ(options.ImagePath, "/tmp/a.bin");
  EXPECT_FALSE(options.Pacing);
  EXPECT_TRUE(options.Device.Silent && options.Device.ExtraByte && options.Device.Echo &&
              options.Device.CorruptImage && options.Stall && options.Verbose);
  EXPECT_EQ(options.Device.AnswerRequestFrom, 6);
  EXPECT_EQ(options.Device.AckBlockFrom, (std::array<int, 5>{1, 1, 3, 1, 2}));
  EXPECT_EQ(options.Device.ReadReplyBytes, 3071u);
  EXPECT_EQ(options.DropAfter, 520u);
  EXPECT_EQ(options.ReplyDelay, 250ms);
  EXPECT_TRUE(ParseSimOptions({"--help"}).Value().Help);
  EXPECT_TRUE(ParseSimOptions({"-V"}).Value().Version);
  EXPECT_TRUE(ParseSimOptions({"--no-pacing", "--version"}).Value().Version);
}

TEST(SimOptionsTest, BadArgumentsAreRefusedWithTheirName) {
  const std::vector<std::vector<std::string>> bad = {{"--bogus"},
                                                     {"--name"},
                                                     {"--ack-block-from", "5:1"},
                                                     {"--ack-block-from", "2"},
                                                     {"--ack-block-from", "x:1"},
                                                     {"--answer-request-from", "0"},
                                                     {"--drop-after", "-3"},
                                                     {"--reply-delay", "1e3"},
                                                     {"--read-reply-bytes", ""},
                                                     {"--read-reply-bytes", "8193"},
                                                     {"--echo=1"},
                                                     {"--name="}};
  for (const auto& args : bad) {
    const TResult<SimOptions> parsed = ParseSimOptions(args);
    ASSERT_FALSE(parsed.Ok()) << "accepted " << args[0];
    const std::string option = args[0].substr(0, args[0].find('='));
    EXPECT_NE(parsed.Message().find(option), std::string::npos) << parsed.Message();
  }
}

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("korvane-simimage-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "device.bin").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string path_;
};

TEST_F(ImageFileTest, SavedImageLoadsBackAndLeavesNoTemporaryFile) {
  EXPECT_FALSE(LoadImageFile(path_).has_value());
  std::string image(2560, 'x');
  image[7] = '\0';
  SaveImageFile(path_, image);
  SaveImageFile(path_, image);  // replacing works too
  EXPECT_EQ(LoadImageFile(path_), image);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ImageFileTest, WrongSizeOrUnwritableFolderIsAClearError) {
  std::ofstream(path_, std::ios::binary) << std::string(2561, 'x');
  try {
    LoadImageFile(path_);
    ADD_FAILURE() << "a 2561-byte image was accepted";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("2560"), std::string::npos) << error.what();
  }
  EXPECT_THROW(SaveImageFile((dir_ / "missing" / "device.bin").string(), std::string(2560, 'x')),
               std::runtime_error);
}

}  // namespace
}  // namespace korvane
