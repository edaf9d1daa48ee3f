#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include <gtest/gtest.h>

#include "SerialTestSupport.h"
#include "serial/CommError.h"
#include "serial/posix/PosixPort.h"
#include "serial/posix/Termios.h"

namespace korvane::test {
namespace {

speed_t OutputSpeed(int fd) {
  termios tio{};
  EXPECT_EQ(::tcgetattr(fd, &tio), 0);
  return ::cfgetospeed(&tio);
}

TEST(Termios, RatesWithoutATermiosSpeedAreRefused) {
  const struct {
    std::uint32_t Rate;
    std::optional<speed_t> Speed;  // none: refused
  } cases[] = {{1200, B1200}, {9600, B9600}, {57600, B57600}, {921600, B921600},
               {0, {}},       {12345, {}},   {250000, {}},    {9601, {}}};
  for (const auto& c : cases) {
    const TResult<speed_t> speed = SpeedForRate(c.Rate);
    ASSERT_EQ(speed.Ok(), c.Speed.has_value()) << c.Rate;
    if (c.Speed) {
      EXPECT_EQ(speed.Value(), *c.Speed) << c.Rate;
    } else {
      EXPECT_EQ(speed.Error().Code, TCommErrc::RateNotOffered) << c.Rate;
      EXPECT_NE(speed.Message().find(std::to_string(c.Rate)), std::string::npos) << c.Rate;
    }
  }
}

TEST(Termios, ARefusedSetIsReportedWithTheSystemsReason) {
  TPtyPair pty;
  const int terminal = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  std::FILE* plain = std::tmpfile();
  ASSERT_NE(plain, nullptr);
  termios wanted{};
  ASSERT_EQ(::tcgetattr(terminal, &wanted), 0);
  ::cfsetospeed(&wanted, B115200);
  ::cfsetispeed(&wanted, B115200);
  const struct {
    const char* What;
    int Fd;
    std::error_code Code;  // empty: taken
  } cases[] = {
      {"terminal", terminal, {}},
      {"plain file", ::fileno(plain),
       std::make_error_code(std::errc::inappropriate_io_control_operation)},
      {"closed descriptor", 9999, std::make_error_code(std::errc::bad_file_descriptor)},
  };
  for (const auto& c : cases) {
    const TStatus set = SetTerminalAttributes(c.Fd, wanted);
    EXPECT_EQ(set.Ok(), !c.Code) << c.What;
    if (!set.Ok()) {
      EXPECT_EQ(set.Error().Code, c.Code) << c.What;
      EXPECT_FALSE(set.Message().empty()) << c.What;
    }
  }
  EXPECT_EQ(OutputSpeed(terminal), B115200);
  std::fclose(plain);
  ::close(terminal);
}

// A refused rate leaves the terminal at the rate it had; a taken one is read back.
TEST(Termios, PortKeepsItsRateWhenANewOneIsRefused) {
  TPtyPair pty;
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  TPosixPort port{UniqueFd(fd)};
  const struct {
    std::uint32_t Rate;
    bool Taken;
    speed_t After;
  } steps[] = {{19200, true, B19200},    {12345, false, B19200}, {115200, true, B115200},
               {250000, false, B115200}, {0, false, B115200},    {9600, true, B9600}};
  for (const auto& step : steps) {
    TLineSettings settings;
    settings.BaudRate = step.Rate;
    const TStatus applied = port.ApplyState(settings);
    EXPECT_EQ(applied.Ok(), step.Taken) << step.Rate;
    if (!step.Taken) {
      EXPECT_EQ(applied.Error().Code, TCommErrc::RateNotOffered) << step.Rate;
    }
    EXPECT_EQ(OutputSpeed(fd), step.After) << step.Rate;
  }
}

}  // namespace
}  // namespace korvane::test
