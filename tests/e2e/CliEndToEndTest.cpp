#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "device/ConfigImage.h"
#include "files/CodeSetFile.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace korvane {
namespace {

using testing::ChildProcess;

// Simulators and the command-line tool share a private port folder.
class CliEndToEnd : public ::testing::Test {
 protected:
  void TearDown() override { sims_.clear(); }

  // Starts a simulator and returns its port name.
  std::string StartSim(std::vector<std::string> switches = {}) {
    switches.insert(switches.begin(), KORVANE_SIM_PATH);
    sims_.push_back(std::make_unique<ChildProcess>(switches, env_));
    const auto line = sims_.back()->ReadLine(5s);
    EXPECT_TRUE(line.has_value()) << sims_.back()->Err();
    return line ? line->substr(0, line->find(' ')) : std::string("none");
  }

  struct Run {
    int exit = -1;
    std::string out;
    std::string err;
  };
  // Runs korvane-cli; a write builds its image files in the test's own folder.
  Run Cli(std::vector<std::string> arguments, std::chrono::seconds limit = 30s) {
    if (arguments.front() == "write") {
      arguments.insert(arguments.begin() + 1, {"--image-dir", dir_.string()});
    }
    arguments.insert(arguments.begin(), KORVANE_CLI_PATH);
    ChildProcess cli(arguments, env_);
    const auto status = cli.Wait(limit);
    return {status.value_or(-1), cli.Out(), cli.Err()};
  }

  std::string WriteCodeSet(const CodeTable& table, const std::string& name = "codes.IOS") {
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(SaveCodeSet(table, path));
    return path;
  }

  static CodeTable SampleTable() {
    CodeTable table;
    table.SetText(1, 1, "0102FF");
    table.SetText(2, 5, "A0B1C2D3");
    table.SetText(3, 8, std::string(126, 'E'));
    table.SetText(4, 4, "7F");
    return table;
  }

  testing::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  std::vector<std::string> env_{"XDG_RUNTIME_DIR=" + dir_.string()};
  std::vector<std::unique_ptr<ChildProcess>> sims_;
};

TEST_F(CliEndToEnd, WriteThenReadBackGivesTheFile) {
  const std::string port = StartSim();
  const CodeTable table = SampleTable();
  const std::string file = WriteCodeSet(table);

  const Run write = Cli({"write", "--port", port, file, "--baud-index", "2"});
  ASSERT_EQ(write.exit, 0) << write.out << write.err;
  EXPECT_NE(write.out.find("配置成功!"), std::string::npos) << write.out;

  const std::string readBack = (dir_ / "back.IOS").string();
  const Run read = Cli({"read", "--port", port, "-o", readBack});
  ASSERT_EQ(read.exit, 0) << read.out << read.err;
  EXPECT_NE(read.out.find("baud rate: 19200"), std::string::npos) << read.out;
  CodeTable back;
  ASSERT_TRUE(LoadCodeSet(back, readBack));
  EXPECT_EQ(back, table);
}

TEST_F(CliEndToEnd, VerifyCatchesADeviceThatStoresACorruptedImage) {
  const std::string port = StartSim({"--corrupt-image"});
  const Run write = Cli({"write", "--verify", "--port", port, WriteCodeSet(SampleTable())});
  EXPECT_EQ(write.exit, 16) << write.out << write.err;
  EXPECT_NE(write.err.find("verify failed"), std::string::npos) << write.err;
}

TEST_F(CliEndToEnd, TwoDevicesAreProgrammedInParallel) {
  const std::string first = StartSim();
  const std::string second = StartSim();
  const std::string file = WriteCodeSet(SampleTable());
  const auto start = std::chrono::steady_clock::now();
  const Run write = Cli({"write", "--port", first, "--port", second, file});
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(write.exit, 0) << write.out << write.err;
  EXPECT_NE(write.out.find(first + ": ok"), std::string::npos) << write.out;
  EXPECT_NE(write.out.find(second + ": ok"), std::string::npos) << write.out;
  // One programming takes 5.5 s of fixed waits; two in sequence would take 11.
  EXPECT_LT(took, 9s);
}

TEST_F(CliEndToEnd, FailuresHaveTheirOwnExitCodes) {
  const std::string file = WriteCodeSet(SampleTable());
  EXPECT_EQ(Cli({"write", "--port", "NO_SUCH_PORT", file}).exit, 10);
  EXPECT_EQ(Cli({"write", "--port", StartSim({"--silent"}), file}).exit, 11);
  EXPECT_EQ(Cli({"write", "--port", StartSim({"--ack-block-from", "2:99"}), file}).exit, 13);

  CodeTable overlong;
  overlong.SetText(2, 2, std::string(130, 'A'));
  const Run tooLong = Cli({"write", "--port", StartSim(), WriteCodeSet(overlong, "long.IOS")});
  EXPECT_EQ(tooLong.exit, 14);
  EXPECT_NE(tooLong.out.find("IO2"), std::string::npos) << tooLong.out;

  const Run shortReply = Cli({"read", "--port", StartSim({"--read-reply-bytes", "3071"}), "-o",
                              (dir_ / "none.IOS").string()});
  EXPECT_EQ(shortReply.exit, 15);
  EXPECT_FALSE(fs::exists(dir_ / "none.IOS"));

  EXPECT_EQ(Cli({"write", "--port", "x", (dir_ / "missing.IOS").string()}).exit, 3);
  EXPECT_EQ(Cli({"write", file}).exit, 2);

  // Another program building the same image file: nothing is sent.
  {
    const auto held = TImageFileLock::TryAcquire((dir_ / "Configuration.bin").string());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(Cli({"write", "--port", StartSim(), file}).exit, 12);
  }
  EXPECT_EQ(Cli({"bogus"}).exit, 2);
}

TEST_F(CliEndToEnd, ImageIsByteIdenticalToTheEditorsBuild) {
  const std::string file = WriteCodeSet(SampleTable());
  const std::string cliImage = (dir_ / "cli.bin").string();
  ASSERT_EQ(Cli({"image", file, "-o", cliImage, "--baud-index", "3"}).exit, 0);

  CodeTable loaded;
  ASSERT_TRUE(LoadCodeSet(loaded, file));
  const std::string editorImage = (dir_ / "editor.bin").string();
  BuildImage(loaded, 3, editorImage, nullptr);
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(cliImage).size(), kImageSize);
  EXPECT_EQ(read(cliImage), read(editorImage));
}

TEST_F(CliEndToEnd, PortsListsTheSimulator) {
  const std::string port = StartSim();
  const Run ports = Cli({"ports"});
  ASSERT_EQ(ports.exit, 0);
  EXPECT_NE(ports.out.find(port + " " + (dir_ / "korvane-sim" / port).string()), std::string::npos)
      << ports.out;
}

}  // namespace
}  // namespace korvane
