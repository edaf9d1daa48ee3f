// Links planted at the names the tool writes, or swapped in while the image
// is in use: nothing a link points to is ever written or created.
#include <gtest/gtest.h>
#include <stdio.h>

#include <filesystem>
#include <functional>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "device/ImageFolder.h"
#include "model/HexCodec.h"
#include "tests/device/ScriptedLink.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

// Calls OnStep at each progress step, which the build gives after each area.
struct SteppingOperator : test::RecordingOperator {
  std::function<void()> OnStep;
  void StepProgress() override {
    RecordingOperator::StepProgress();
    OnStep();
  }
};

class ImageFileLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.SetText(1, 1, "0102FF");
    link_.Device = [this](const std::string& bytes) -> std::string {
      if (bytes == HexToBytes(kProgramRequestHex)) {
        return HexToBytes(kProgramAcceptedHex);
      }
      received_ += bytes;
      return HexToBytes(kBlockReceivedHex);
    };
  }
  // A link at `name` to the victim, which holds kept_ unless `dangling`.
  void Plant(const std::string& name, bool dangling) {
    fs::remove(name);
    fs::remove(victim_);
    if (!dangling) {
      test::WriteBytes(victim_.string(), kept_);
    }
    fs::create_symlink(victim_, name);
  }
  // Replaces `name` by a link to the victim in one step, as a racing user would.
  void Swap(const std::string& name) {
    fs::create_symlink(victim_, dir_ / "staged");
    ASSERT_EQ(::rename((dir_ / "staged").c_str(), name.c_str()), 0);
  }
  std::string Victim() const {
    return fs::exists(victim_) ? test::ReadBytes(victim_.string()) : "(absent)";
  }

  test::TempDir temp_, elsewhere_;
  const fs::path& dir_ = temp_.Path();
  const fs::path victim_ = elsewhere_.Path() / "victim";
  const std::string kept_ = "a file that must stay as it is";
  const std::string image_ = ConfigFilePathIn(dir_.string() + "/");
  CodeTable table_;
  TResponseLog log_;
  test::ScriptedLink link_{log_};
  SteppingOperator operator_;
  DeviceContext context_{link_, link_, log_, operator_, image_};
  std::string received_;
};

// A swap during the build leaves the link at the image's name for the whole
// transfer: the blocks still come from the file built.
TEST_F(ImageFileLinkTest, LinksAtTheImageOrItsLockAndASwapDuringTheBuild) {
  struct Case {
    std::string plantedAt;  // "" for none: the image is swapped for a link in the build
    bool dangling;
    TextId result;
  };
  const std::string lock = image_ + ".lock";
  for (const Case& c : {Case{image_, false, TextId::kNone}, Case{image_, true, TextId::kNone},
                        Case{lock, false, TextId::kFileFault}, Case{lock, true, TextId::kFileFault},
                        Case{"", false, TextId::kNone}}) {
    SCOPED_TRACE(c.plantedAt + (c.dangling ? " (dangling)" : ""));
    Plant(c.plantedAt.empty() ? image_ : c.plantedAt, c.dangling);
    link_.Wire.clear();
    received_.clear();
    int steps = 0;
    operator_.OnStep = [&] {
      if (++steps == 16 && c.plantedAt.empty()) {
        Swap(image_);
      }
    };
    const TStatus result = ProgramDevice(context_, table_, 1);
    EXPECT_EQ(result ? TextId::kNone : result.Error().Id, c.result);
    EXPECT_EQ(Victim(), c.dangling ? "(absent)" : kept_);
    if (result) {
      EXPECT_EQ(received_, ComposeImage(table_, 1));
      EXPECT_EQ(fs::is_symlink(image_), c.plantedAt.empty());  // only the swap left one
    } else {
      EXPECT_TRUE(link_.Wire.empty());  // refused before the handshake
      ASSERT_EQ(result.Error().Args.size(), 1U);
      EXPECT_EQ(ArgWords(result.Error().Args[0], Language::English),
                "cannot open " + lock + ": it is a symbolic link, which is never followed");
      EXPECT_EQ(ArgWords(result.Error().Args[0], Language::Chinese),
                "无法打开镜像文件 " + lock + "：它是符号链接，不会跟随");
    }
    fs::remove(lock);
  }
}

// The editor's start-up check: a link at the image's name is refused (the
// image goes to the state folder) and nothing is created.
TEST_F(ImageFileLinkTest, TheStartUpCheckRefusesALinkAndCreatesNothing) {
  const std::string state = (dir_ / "state").string() + "/";
  for (const bool dangling : {false, true}) {
    Plant(image_, dangling);
    EXPECT_EQ(ImageFileProblem(image_).Message(),
              "cannot open " + image_ + ": it is a symbolic link, which is never followed");
    EXPECT_EQ(ImageDirectoryFor(dir_.string() + "/", state), state);
    EXPECT_EQ(Victim(), dangling ? "(absent)" : kept_);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
  }
}

}  // namespace
}  // namespace korvane
