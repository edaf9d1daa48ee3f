#include "sim/SimOptions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
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

// An image file is either absent (the simulator starts afresh), a whole
// image, or a clear error: never a short or long image taken as the device's.
TEST_F(ImageFileTest, LoadsOnlyAWholeImage) {
  struct Case {
    const char* name;
    std::size_t size;   // 0: no file
    const char* error;  // nullptr: loads
  };
  const Case cases[] = {
      {"absent", 0, nullptr},
      {"whole", 2560, nullptr},
      {"one byte long", 2561, "holds 2561 bytes; a configuration image has exactly 2560"},
      {"one byte", 1, "holds 1 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(path_);
    const std::string image(c.size, '\0');
    if (c.size > 0) {
      std::ofstream(path_, std::ios::binary) << image;
    }
    const TResult<std::optional<std::string>> loaded = LoadImageFile(path_);
    if (c.error != nullptr) {
      ASSERT_FALSE(loaded);
      EXPECT_NE(loaded.Message().find(c.error), std::string::npos) << loaded.Message();
      continue;
    }
    ASSERT_TRUE(loaded) << loaded.Message();
    EXPECT_EQ(loaded.Value(), c.size == 0 ? std::nullopt : std::optional<std::string>(image));
  }
  EXPECT_FALSE(LoadImageFile(dir_.string()));
}

}  // namespace
}  // namespace korvane
