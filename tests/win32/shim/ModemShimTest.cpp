// The modem shim answers modem requests on a pseudo-terminal from the state
// file; the test links it in, so its ioctl() stands in for the C library's.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace korvane {
namespace {

class ModemShimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    state_ = fs::temp_directory_path() / ("korvane-modem-" + std::to_string(::getpid()));
    ::setenv("KORVANE_MODEM_STATE", state_.c_str(), 1);
  }
  void TearDown() override {
    ::close(slave_);
    ::close(master_);
    fs::remove(state_);
    ::unsetenv("KORVANE_MODEM_STATE");
  }

  void WriteState(const std::string& text) const { std::ofstream(state_) << text; }

  int LineBits() const {
    int bits = -1;
    EXPECT_EQ(::ioctl(slave_, TIOCMGET, &bits), 0) << std::strerror(errno);
    return bits;
  }

  serial_icounter_struct Counters() const {
    serial_icounter_struct counters{};
    EXPECT_EQ(::ioctl(slave_, TIOCGICOUNT, &counters), 0) << std::strerror(errno);
    return counters;
  }

  int master_ = -1;
  int slave_ = -1;
  fs::path state_;
};

TEST_F(ModemShimTest, MissingOrShortFileReadsAsZero) {
  EXPECT_EQ(LineBits(), 0);
  EXPECT_EQ(Counters().frame, 0);
  WriteState(std::to_string(TIOCM_CD | TIOCM_DSR) + " 7\n");
  EXPECT_EQ(LineBits(), TIOCM_CD | TIOCM_DSR);
  const auto counters = Counters();
  EXPECT_EQ(counters.cts, 7);
  EXPECT_EQ(counters.dsr, 0);
  EXPECT_EQ(counters.buf_overrun, 0);
}

TEST_F(ModemShimTest, CountersComeInDeclarationOrderAndEveryCallRereadsTheFile) {
  WriteState("0 1 2 4 5 6 7 8 9 10 11 12");
  auto c = Counters();
  EXPECT_EQ(c.cts, 1);
  EXPECT_EQ(c.dsr, 2);
  EXPECT_EQ(c.rng, 4);
  EXPECT_EQ(c.dcd, 5);
  EXPECT_EQ(c.rx, 6);
  EXPECT_EQ(c.tx, 7);
  EXPECT_EQ(c.frame, 8);
  EXPECT_EQ(c.overrun, 9);
  EXPECT_EQ(c.parity, 10);
  EXPECT_EQ(c.brk, 11);
  EXPECT_EQ(c.buf_overrun, 12);
  WriteState("0 0 0 0 0 0 0 3");
  EXPECT_EQ(Counters().frame, 3);
}

// Wine sees a ring only as a change of RI: each counted ring flips it.
TEST_F(ModemShimTest, EachCountedRingFlipsTheRingLine) {
  WriteState(std::to_string(TIOCM_CD) + " 0 0 1");
  EXPECT_EQ(LineBits(), TIOCM_CD | TIOCM_RI);
  WriteState(std::to_string(TIOCM_CD) + " 0 0 2");
  EXPECT_EQ(LineBits(), TIOCM_CD);
  WriteState(std::to_string(TIOCM_RI) + " 0 0 3");
  EXPECT_EQ(LineBits(), 0);
}

TEST_F(ModemShimTest, LineChangesSucceedAndLeaveTheStateAlone) {
  WriteState(std::to_string(TIOCM_CTS));
  int dtr = TIOCM_DTR;
  EXPECT_EQ(::ioctl(slave_, TIOCMBIS, &dtr), 0);
  EXPECT_EQ(::ioctl(slave_, TIOCMBIC, &dtr), 0);
  EXPECT_EQ(::ioctl(slave_, TIOCMSET, &dtr), 0);
  EXPECT_EQ(LineBits(), TIOCM_CTS);
}

// Only failing modem requests on pseudo-terminals are answered.
TEST_F(ModemShimTest, OtherDevicesAndRequestsKeepTheirOwnResults) {
  WriteState(std::to_string(TIOCM_CD));
  const int null = ::open("/dev/null", O_RDWR);
  ASSERT_GE(null, 0);
  int bits = 0;
  errno = 0;
  EXPECT_EQ(::ioctl(null, TIOCMGET, &bits), -1);
  EXPECT_EQ(errno, ENOTTY);
  ::close(null);
  termios settings{};
  EXPECT_EQ(::ioctl(slave_, TCGETS, &settings), 0);
  errno = 0;
  EXPECT_EQ(::ioctl(slave_, TIOCSERGETLSR, &bits), -1);
  EXPECT_NE(errno, 0);
}

}  // namespace
}  // namespace korvane
