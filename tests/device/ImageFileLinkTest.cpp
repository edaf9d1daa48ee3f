// Links planted at the names the tool writes (the image file, its lock, the
// editor's start-up check) and a name swapped for a link while the image is
// in use: nothing a link points to is ever written or created.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "device/ImageFolder.h"
#include "model/HexCodec.h"
#include "tests/device/ScriptedLink.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

const std::string kPrecious = "a root-only file that must stay as it is";

CodeTable SampleTable() {
  CodeTable table;
  table.SetText(1, 1, "0102FF");
  table.SetText(4, 8, "7E7F");
  return table;
}

class ImageFileLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.ImagePath = ConfigFilePathIn(dir_.string() + "/");
    link_.Device = [this](const std::string& bytes) { return Answer(bytes); };
  }

  // A device that accepts and acknowledges everything, keeping the blocks.
  std::string Answer(const std::string& bytes) {
    if (bytes == HexToBytes(kProgramRequestHex)) {
      return HexToBytes(kProgramAcceptedHex);
    }
    if (bytes.size() == kBlockSize) {
      received_ += bytes;
      return HexToBytes(kBlockReceivedHex);
    }
    return {};
  }

  // A link at `name` to the victim, which exists unless `dangling`.
  void PlantLink(const std::string& name, bool dangling) {
    if (!dangling) {
      testing::WriteBytes(victim_.string(), kPrecious);
    }
    fs::create_symlink(victim_, name);
  }

  // Replaces `name` by a link to the victim in one step, as an attacker
  // racing the tool would.
  void SwapForLink(const std::string& name) {
    const fs::path staged = dir_ / "staged-link";
    fs::create_symlink(victim_, staged);
    ASSERT_EQ(::rename(staged.c_str(), name.c_str()), 0) << std::strerror(errno);
  }

  std::string Victim() const {
    return fs::exists(victim_) ? testing::ReadBytes(victim_.string()) : "(absent)";
  }

  testing::TempDir temp_;
  testing::TempDir elsewhere_;
  const fs::path& dir_ = temp_.Path();
  const fs::path victim_ = elsewhere_.Path() / "victim";
  TResponseLog log_;
  testing::ScriptedLink link_{log_};
  testing::RecordingOperator operator_;
  DeviceContext context_{link_, link_, log_, operator_, {}};
  std::string received_;
};

TEST_F(ImageFileLinkTest, LinksAtTheImageAndItsLockAreNeverFollowed) {
  struct Case {
    std::string name;
    std::string plantedAt;
    bool dangling;
    ProgramResult result;
  };
  const std::string image = context_.ImagePath;
  const std::string lock = image + ".lock";
  const std::vector<Case> cases = {
      {"link at the image: removed by the delete step", image, false, ProgramResult::Success},
      {"dangling link at the image", image, true, ProgramResult::Success},
      {"link at the lock: refused", lock, false, ProgramResult::FileFault},
      {"dangling link at the lock: refused", lock, true, ProgramResult::FileFault},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(image);
    fs::remove(lock);
    fs::remove(victim_);
    link_.Wire.clear();
    received_.clear();
    PlantLink(c.plantedAt, c.dangling);

    EXPECT_EQ(ProgramDevice(context_, SampleTable(), 1), c.result);
    EXPECT_EQ(Victim(), c.dangling ? "(absent)" : kPrecious);
    if (c.result == ProgramResult::Success) {
      EXPECT_EQ(received_, ComposeImage(SampleTable(), 1));
      EXPECT_FALSE(fs::is_symlink(image));
      EXPECT_EQ(testing::ReadBytes(image), received_);
    } else {
      EXPECT_TRUE(link_.Wire.empty());  // refused before the handshake
      EXPECT_NE(context_.FaultCause.find(lock + ": it is a symbolic link"), std::string::npos)
          << context_.FaultCause;
    }
  }
}

// The image file is swapped for a link while it is built and while its
// blocks go out: the tool keeps writing and reading its own file.
TEST_F(ImageFileLinkTest, ANameSwappedForALinkDuringTheBuildOrTheTransferChangesNothing) {
  testing::WriteBytes(victim_.string(), kPrecious);
  int steps = 0;
  const TResult<TImageFile> built = BuildImage(SampleTable(), 1, context_.ImagePath, [&] {
    if (++steps == 16) {
      SwapForLink(context_.ImagePath);
    }
  });
  ASSERT_TRUE(built.Ok()) << built.Message();
  EXPECT_EQ(ReadImageFile(built.Value()).Value(), ComposeImage(SampleTable(), 1));
  EXPECT_EQ(Victim(), kPrecious);

  fs::remove(context_.ImagePath);
  bool swapped = false;
  link_.DuringWait = [&] {
    if (!swapped && received_.size() == 2 * kBlockSize) {
      swapped = true;
      SwapForLink(context_.ImagePath);
    }
  };
  EXPECT_EQ(ProgramDevice(context_, SampleTable(), 1), ProgramResult::Success);
  EXPECT_TRUE(swapped);
  EXPECT_EQ(received_, ComposeImage(SampleTable(), 1));
  EXPECT_EQ(Victim(), kPrecious);
}

// The editor's start-up check of its folder: a link at the image's name is
// refused (the image goes to the state folder) and nothing is created.
TEST_F(ImageFileLinkTest, TheStartUpCheckRefusesALinkAndCreatesNothing) {
  const std::string program = (dir_ / "bin").string() + "/";
  const std::string state = (dir_ / "state").string() + "/";
  fs::create_directory(dir_ / "bin");
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "dangling" : "to a file");
    fs::remove(ConfigFilePathIn(program));
    fs::remove(victim_);
    PlantLink(ConfigFilePathIn(program), dangling);
    const TStatus problem = ImageFileProblem(ConfigFilePathIn(program));
    EXPECT_EQ(problem.Message(),
              ConfigFilePathIn(program) + " is a symbolic link, which is never followed");
    EXPECT_EQ(ImageDirectoryFor(program, state), state);
    EXPECT_EQ(Victim(), dangling ? "(absent)" : kPrecious);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "bin"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace korvane
