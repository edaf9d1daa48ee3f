// Runs the built korvane-sim and talks to it through its published port.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "model/HexCodec.h"
#include "serial/VirtualPorts.h"
#include "tests/support/TempDir.h"

extern char** environ;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kRequest = HexToBytes("C7EBC7F3B1E0B3CC");
const std::string kAccepted = HexToBytes("C7EBC7F3BDD3CADC4F4B");
const std::string kAck = HexToBytes("B4ABCAE4CAFDBEDDD5FDB3A3");
const std::string kRead = HexToBytes("B6C1C8A1C7EBC7F3");

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

// Reads from `fd` until `count` bytes came, the other end closed or `timeout` passed.
std::string ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string data;
  while (data.size() < count) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, RemainingMs(deadline)) <= 0) {
      break;
    }
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, count - data.size()));
    if (got <= 0) {
      break;
    }
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

// A korvane-sim child process with its standard output and error captured.
class SimProcess {
 public:
  SimProcess(const std::string& runtimeDir, const std::vector<std::string>& args) {
    int out[2], err[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtimeDir};
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (std::string(*entry).rfind("XDG_RUNTIME_DIR=", 0) != 0) {
        env.emplace_back(*entry);
      }
    }
    std::vector<std::string> argStrings{KORVANE_SIM_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    const int rc = posix_spawn(&pid_, KORVANE_SIM_PATH, &actions, nullptr,
                               Pointers(argStrings).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    EXPECT_EQ(rc, 0) << "cannot start " << KORVANE_SIM_PATH;
  }

  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  // Reads the "NAME SLAVE" line; false when none came within the bound.
  bool ReadPortLine() {
    std::string line;
    const auto deadline = Clock::now() + 5s;
    while (line.find('\n') == std::string::npos) {
      const std::string more = ReadFor(out_, 1, std::chrono::milliseconds(RemainingMs(deadline)));
      if (more.empty()) {
        return false;
      }
      line += more;
    }
    std::istringstream(line) >> name >> slave;
    return !name.empty() && !slave.empty();
  }

  void Signal(int signal) const { ::kill(pid_, signal); }

  // Exit status once the process ended within `timeout`; nullopt otherwise.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!ReadFor(out_, 4096, std::chrono::milliseconds(RemainingMs(deadline))).empty()) {
    }
    pollfd pfd{out_, POLLIN, 0};
    if (::poll(&pfd, 1, 0) != 1 || !(pfd.revents & POLLHUP)) {
      return std::nullopt;  // stdout still open: still running
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string Stderr() { return ReadFor(err_, 65536, 200ms); }

  // Seconds of processor time the process has used so far.
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text;
    std::getline(stat, text);
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i >= 14) {
        ticks += std::stol(field);  // utime, stime
      }
    }
    return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }

  std::string name;
  std::string slave;

 private:
  static std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) {
      pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

// A client of the published port, opened like the tool opens a serial port.
class PortClient {
 public:
  explicit PortClient(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    EXPECT_GE(fd_, 0) << "cannot open " << path;
    ::tcflush(fd_, TCIOFLUSH);
  }
  ~PortClient() { ::close(fd_); }

  void Send(const std::string& bytes) const {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Writes `chunk` without blocking until the line takes no more or `limit`
  // bytes went out; returns the bytes taken.
  std::size_t SendUntilFull(const std::string& chunk, std::size_t limit) const {
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    std::size_t taken = 0;
    ssize_t written = 0;
    while (taken < limit && (written = ::write(fd_, chunk.data(), chunk.size())) > 0) {
      taken += static_cast<std::size_t>(written);
    }
    EXPECT_TRUE(taken >= limit || errno == EAGAIN) << std::strerror(errno);
    ::fcntl(fd_, F_SETFL, flags);
    return taken;
  }
  std::string Receive(std::size_t count, std::chrono::milliseconds timeout = 3s) const {
    return ReadFor(fd_, count, timeout);
  }
  // True once the line is hung up (the simulator closed its side).
  bool HangsUpWithin(std::chrono::milliseconds timeout) const {
    pollfd pfd{fd_, POLLIN, 0};
    return ::poll(&pfd, 1, static_cast<int>(timeout.count())) == 1 &&
           (pfd.revents & (POLLHUP | POLLERR));
  }

 private:
  int fd_;
};

std::string TestImage() {
  std::string image(2560, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<char>((i * 13 + 5) & 0x3F);
  }
  return image;
}

class SimProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvane-simproc-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
      oldRuntimeDir_ = old;
    }
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (oldRuntimeDir_) {
      ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(dir_);
  }

  std::unique_ptr<SimProcess> Start(const std::vector<std::string>& args) {
    auto sim = std::make_unique<SimProcess>(dir_.string(), args);
    EXPECT_TRUE(sim->ReadPortLine()) << sim->Stderr();
    return sim;
  }

  std::string PortPath(const SimProcess& sim) const {
    return (dir_ / "korvane-sim" / sim.name).string();
  }

  static void Program(const PortClient& port, const std::string& image) {
    port.Send(kRequest);
    ASSERT_EQ(BytesToHex(port.Receive(kAccepted.size())), BytesToHex(kAccepted));
    for (std::size_t k = 0; k < 5; ++k) {
      port.Send(image.substr(512 * k, 512));
      ASSERT_EQ(BytesToHex(port.Receive(kAck.size())), BytesToHex(kAck)) << "block " << k;
    }
  }

  fs::path dir_;
  std::optional<std::string> oldRuntimeDir_;
};

TEST_F(SimProcessTest, SeveralSimulatorsPublishTheirPortsAndWithdrawThemOnSigterm) {
  auto first = Start({"--no-pacing"});
  auto second = Start({"--no-pacing", "--name", "BENCH"});
  EXPECT_EQ(first->name, "KSIM1");
  EXPECT_EQ(second->name, "BENCH");
  EXPECT_EQ(first->slave.rfind("/dev/pts/", 0), 0u) << first->slave;
  const auto ports = ListVirtualPorts();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].Name, "BENCH");
  EXPECT_EQ(ports[1].Name, "KSIM1");
  EXPECT_EQ(fs::read_symlink(ports[1].Path), first->slave);

  // The name of a live simulator is refused, clearly.
  SimProcess clash(dir_.string(), {"--name", "BENCH"});
  EXPECT_EQ(clash.WaitExit(5s), 1);
  EXPECT_NE(clash.Stderr().find("in use"), std::string::npos);

  first->Signal(SIGTERM);
  EXPECT_EQ(first->WaitExit(5s), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortPath(*first))));
  ASSERT_EQ(ListVirtualPorts().size(), 1u);
  second->Signal(SIGINT);
  EXPECT_EQ(second->WaitExit(5s), 0);
  EXPECT_TRUE(ListVirtualPorts().empty());
}

TEST_F(SimProcessTest, KilledSimulatorsPortIsNotListed) {
  auto sim = Start({"--no-pacing"});
  ASSERT_EQ(ListVirtualPorts().size(), 1u);
  sim->Signal(SIGKILL);
  EXPECT_EQ(sim->WaitExit(5s), 128 + SIGKILL);
  EXPECT_TRUE(fs::is_symlink(PortPath(*sim)));  // left behind, but stale
  EXPECT_TRUE(ListVirtualPorts().empty());
  // A new simulator takes the stale name over.
  auto next = Start({"--no-pacing"});
  EXPECT_EQ(next->name, "KSIM1");
}

TEST_F(SimProcessTest, ProgrammedImageIsSavedAndReadBackAfterARestart) {
  const std::string file = (dir_ / "device.bin").string();
  const std::string image = TestImage();
  {
    auto sim = Start({"--no-pacing", "--image", file});
    PortClient port(PortPath(*sim));
    port.Send(kRead);  // a missing file starts as the default image
    const std::string reply = port.Receive(3072);
    ASSERT_EQ(reply.size(), 3072u);
    EXPECT_EQ(reply[512 + 2048], '\x01');
    Program(port, image);
    sim->Signal(SIGTERM);
    ASSERT_EQ(sim->WaitExit(5s), 0);
  }
  EXPECT_EQ(test::ReadBytes(file), image);

  auto sim = Start({"--no-pacing", "--image", file});
  PortClient port(PortPath(*sim));
  port.Send(kRead);
  const std::string reply = port.Receive(3073, 500ms);  // and nothing more
  ASSERT_EQ(reply.size(), 3072u);
  EXPECT_EQ(reply.substr(0, 512), std::string(512, '\xA5'));
  EXPECT_EQ(reply.substr(512), image);
}

TEST_F(SimProcessTest, ImageFileOfTheWrongSizeIsRefused) {
  const std::string file = (dir_ / "short.bin").string();
  std::ofstream(file, std::ios::binary) << std::string(100, 'x');
  SimProcess sim(dir_.string(), {"--image", file});
  EXPECT_EQ(sim.WaitExit(5s), 1);
  const std::string message = sim.Stderr();
  EXPECT_NE(message.find("2560"), std::string::npos) << message;
  EXPECT_TRUE(ListVirtualPorts().empty());
  EXPECT_EQ(fs::file_size(file), 100u);  // left untouched

  SimProcess bad(dir_.string(), {"--ack-block-from", "9:1"});
  EXPECT_EQ(bad.WaitExit(5s), 2);
  EXPECT_NE(bad.Stderr().find("--ack-block-from"), std::string::npos);
}

TEST_F(SimProcessTest, DropAfterHangsUpMidTransferAndWithdrawsThePort) {
  auto sim = Start({"--no-pacing", "--drop-after", "108"});
  PortClient port(PortPath(*sim));
  port.Send(kRequest);
  ASSERT_EQ(port.Receive(kAccepted.size()), kAccepted);
  port.Send(TestImage().substr(0, 512));
  EXPECT_TRUE(port.HangsUpWithin(3s));
  EXPECT_EQ(sim->WaitExit(5s), 0);
  EXPECT_TRUE(ListVirtualPorts().empty());
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortPath(*sim))));
}

TEST_F(SimProcessTest, ReplyDelayHoldsTheAnswerBack) {
  auto sim = Start({"--no-pacing", "--reply-delay", "300"});
  PortClient port(PortPath(*sim));
  const auto start = Clock::now();
  port.Send(kRequest);
  ASSERT_EQ(port.Receive(kAccepted.size()), kAccepted);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 2s);
}

// A stalled line takes a pseudo-terminal's buffer of writes and then no more;
// the request among them is never answered, and the simulator still stops.
TEST_F(SimProcessTest, StallNeverReadsSoWritesBackUp) {
  auto sim = Start({"--no-pacing", "--stall"});
  PortClient port(PortPath(*sim));
  port.Send(kRequest);
  const std::size_t taken = port.SendUntilFull(std::string(4096, '\x55'), 1 << 20);
  EXPECT_GT(taken, 0u);
  EXPECT_LT(taken, 1u << 20) << "the line never filled up";
  EXPECT_EQ(port.Receive(1, 300ms), "");
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->WaitExit(5s), 0);
  RecordProperty("stalled_line_bytes", std::to_string(taken));
}

// The only paced test: a read reply takes the line time of 3072 bytes at
// 9600 baud (3.2 s), after clients came and went, without burning a core.
// Bytes that wait on the line while the simulator is not scheduled came in
// their line time: the pause is not silence that ends the block.
TEST_F(SimProcessTest, SimulatorHeldMidBlockStillTakesTheWholeBlock) {
  auto sim = Start({});
  PortClient port(PortPath(*sim));
  const std::string image = TestImage();
  port.Send(kRequest);
  ASSERT_EQ(BytesToHex(port.Receive(kAccepted.size())), BytesToHex(kAccepted));
  port.Send(image.substr(0, 512));
  EXPECT_EQ(port.Receive(1, 150ms), "");  // the block is still on the line
  sim->Signal(SIGSTOP);
  EXPECT_EQ(port.Receive(1, 500ms), "");  // longer than the silence that drops a block
  sim->Signal(SIGCONT);
  ASSERT_EQ(BytesToHex(port.Receive(kAck.size())), BytesToHex(kAck));
  for (std::size_t k = 1; k < 5; ++k) {
    port.Send(image.substr(512 * k, 512));
    ASSERT_EQ(BytesToHex(port.Receive(kAck.size())), BytesToHex(kAck)) << "block " << k;
  }
  port.Send(kRead);
  EXPECT_EQ(port.Receive(3072, 6s).substr(512), image);
}

TEST_F(SimProcessTest, PacedReadTakesLineTimeAndSurvivesClientsComingAndGoing) {
  auto sim = Start({});
  for (int i = 0; i < 20; ++i) {
    PortClient passing(PortPath(*sim));
  }
  PortClient port(PortPath(*sim));
  const double cpuBefore = sim->CpuSeconds();
  const auto start = Clock::now();
  port.Send(kRead);
  const std::string reply = port.Receive(3072, 6s);
  const std::chrono::duration<double> took = Clock::now() - start;
  const double cpu = sim->CpuSeconds() - cpuBefore;
  ASSERT_EQ(reply.size(), 3072u);
  EXPECT_EQ(reply.substr(512), std::string(2048, '\0') + '\x01' + std::string(511, '\0'));
  EXPECT_GT(took.count(), 2.9);
  EXPECT_LT(took.count(), 4.5);
  EXPECT_LT(cpu, 1.0) << "the simulator used " << cpu << " s of processor time";
  RecordProperty("read_reply_seconds", std::to_string(took.count()));
  std::cout << "paced 3072-byte reply: " << took.count() << " s, simulator CPU " << cpu << " s\n";
}

}  // namespace
}  // namespace korvane
