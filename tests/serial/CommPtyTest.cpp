#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "SerialTestSupport.h"
#include "serial/Comm.h"
#include "serial/PortClaim.h"
#include "serial/WriteThread.h"

namespace korvane::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class CommPtyTest : public ::testing::Test {
 protected:
  CommPtyTest() {
    events.Attach(comm);
    comm.SetCommName(pty.SlavePath());
  }

  void OpenAndSettle() {
    comm.OpenPort();
    ASSERT_TRUE(comm.PortOpen()) << comm.PortOpenError();
    ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 1; }));
  }

  // Holds the port's output, and checks that it holds.
  void HoldOutput() {
    pty.HoldSlaveOutput(true);
    ASSERT_TRUE(comm.SendData("h", 1));
    ASSERT_EQ(pty.Read(1, milliseconds(50)), "");
  }

  TPtyPair pty;
  TCountingLoop loop;
  TComm comm{loop};
  TEventLog events;
};

TEST_F(CommPtyTest, OpensClosesAndReopens) {
  for (int round = 0; round < 3; ++round) {
    comm.OpenPort();
    ASSERT_TRUE(comm.PortOpen()) << comm.PortOpenError();
    comm.OpenPort();
    EXPECT_EQ(comm.PortOpenError(), "This serial port already opened");
    EXPECT_TRUE(comm.PortOpen());
    comm.ClosePort();
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_EQ(comm.PortOpenError(), "");
  }
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 3; }));
  EXPECT_EQ(events.Count(MSG_HANGUP), 0u);
}

TEST_F(CommPtyTest, NamesThatAreNoPortFailWithTheirTexts) {
  const std::string file = ::testing::TempDir() + "/not-a-port.txt";
  std::fclose(std::fopen(file.c_str(), "w"));
  const std::pair<std::string, std::string> cases[] = {
      {"COM1", "Error opening serial port"},
      {"//./surely-no-such-port", "Error opening serial port"},
      {"/nonexistent/ttyX", "Error opening serial port"},
      {file, "File handle is not a comm handle "},
  };
  for (const auto& [name, text] : cases) {
    comm.SetCommName(name);
    comm.OpenPort();
    EXPECT_FALSE(comm.PortOpen()) << name;
    EXPECT_EQ(comm.PortOpenError(), text) << name;
  }
  std::filesystem::remove(file);
}

TEST_F(CommPtyTest, PortIsUsedExclusively) {
  OpenAndSettle();
  TComm second(loop);
  second.SetCommName(pty.SlavePath());
  second.OpenPort();
  EXPECT_FALSE(second.PortOpen());
  EXPECT_EQ(second.PortOpenError(), "Error opening serial port");
  comm.ClosePort();

  const int holder = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);  // another program holds the port
  comm.OpenPort();
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(comm.PortOpenError(), "Error opening serial port");
  ::close(holder);
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen()) << comm.PortOpenError();
}

// A rate the platform does not offer opens the port all the same (as before),
// and the refusal is readable; every change re-applies and re-judges.
TEST_F(CommPtyTest, RefusedLineSettingsAreReported) {
  comm.SetBaudRate(12345);
  OpenAndSettle();
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.LineSettingsError(), "Line settings refused by the serial port");
  const struct {
    std::uint32_t Rate;
    bool Taken;
  } rates[] = {{9600, true}, {0, false}, {115200, true}, {250000, false}, {921600, true}};
  for (const auto& rate : rates) {
    comm.SetBaudRate(rate.Rate);
    EXPECT_EQ(comm.LineSettingsError().empty(), rate.Taken) << rate.Rate;
  }
}

// The check neither takes the port nor leaves it taken.
TEST_F(CommPtyTest, PortIsClaimedWhileOpen) {
  EXPECT_FALSE(IsPortClaimed(pty.SlavePath()));
  OpenAndSettle();
  EXPECT_TRUE(IsPortClaimed(pty.SlavePath()));
  EXPECT_TRUE(IsPortClaimed(pty.SlavePath()));
  comm.ClosePort();
  EXPECT_FALSE(IsPortClaimed(pty.SlavePath()));
  comm.OpenPort();
  EXPECT_TRUE(comm.PortOpen()) << comm.PortOpenError();
  EXPECT_FALSE(IsPortClaimed("/nonexistent/ttyX"));
}

TEST_F(CommPtyTest, EachByteOfAnAnswerIsItsOwnEvent) {
  OpenAndSettle();
  const std::string answer = "0123456789";
  pty.Write(answer);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_RX_DATA) == 10; }));
  const std::vector<std::string> chunks = events.Chunks();
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i], answer.substr(i, 1));
  }
}

TEST_F(CommPtyTest, ReadsEndAtInputLenOrAfterTheInterval) {
  comm.SetInputLen(4);
  OpenAndSettle();
  pty.Write(std::string("ab\0d", 4) + std::string("e\0gh", 4) + "ij");
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_RX_DATA) == 3; }));
  const std::vector<std::string> chunks = events.Chunks();
  EXPECT_EQ(chunks[0], std::string("ab\0d", 4));  // zero bytes inside chunks stay
  EXPECT_EQ(chunks[1], std::string("e\0gh", 4));
  EXPECT_EQ(chunks[2], "ij");
  const auto gap = events.Entries.back().At - events.Entries[events.Entries.size() - 2].At;
  EXPECT_GE(gap, milliseconds(90));  // the short chunk waits out the interval
  EXPECT_LT(gap, milliseconds(400));
}

TEST_F(CommPtyTest, RequestsAreWrittenInQueueOrderWithOneEmptyNoticePerRun) {
  OpenAndSettle();
  HoldOutput();
  ASSERT_TRUE(comm.SendData("1", 1));
  comm.SetOutput("22");
  ASSERT_TRUE(comm.SendData("333", 3));
  pty.HoldSlaveOutput(false);
  EXPECT_EQ(pty.Read(7, milliseconds(1000)), "h122333");
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 2; }));

  for (const char* request : {"a", "b", "c"}) {
    comm.SetOutput(request);
    ASSERT_TRUE(PumpUntil(loop, [&] { return comm.SendIdle(); }));
    EXPECT_EQ(pty.Read(1, milliseconds(1000)), request);
  }
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 5; }));
  loop.WaitPumping(20);
  EXPECT_EQ(events.Count(MSG_TX_EMPTY), 5u);
}

TEST_F(CommPtyTest, CloseDuringALongWriteReturnsPromptlyAndReportsNothing) {
  OpenAndSettle();
  HoldOutput();
  const std::string block(65535, 'w');
  ASSERT_TRUE(comm.SendData(block.data(), 65535));
  ASSERT_TRUE(comm.SendData(block.data(), 65535));
  loop.WaitPumping(20);
  const auto started = Clock::now();
  comm.ClosePort();
  EXPECT_LT(Clock::now() - started, milliseconds(500));
  EXPECT_TRUE(comm.SendIdle());
  loop.WaitPumping(50);
  EXPECT_EQ(events.Count(MSG_TX_EMPTY), 1u);
  EXPECT_EQ(events.Count(MSG_HANGUP), 0u);
  pty.HoldSlaveOutput(false);
  EXPECT_EQ(pty.Read(1, milliseconds(50)), "");  // discarded, not sent
}

TEST_F(CommPtyTest, FullWriterQueueRefusesFurtherRequests) {
  OpenAndSettle();
  HoldOutput();  // "h" is being written, the queue behind it is empty
  for (std::size_t i = 0; i < TEventWriteQueue::kLimit; ++i) {
    ASSERT_TRUE(comm.SendData("q", 1)) << i;
  }
  EXPECT_FALSE(comm.SendData("q", 1));
  EXPECT_FALSE(comm.SendIdle());
  pty.HoldSlaveOutput(false);
  EXPECT_EQ(pty.Read(TEventWriteQueue::kLimit + 1, milliseconds(1000)).size(),
            TEventWriteQueue::kLimit + 1);
  ASSERT_TRUE(PumpUntil(loop, [&] { return comm.SendIdle(); }));
  EXPECT_TRUE(comm.SendData("q", 1));
}

TEST_F(CommPtyTest, ChunksPostedBeforeCloseAreStillDelivered) {
  OpenAndSettle();
  pty.Write("hello");
  ASSERT_TRUE(loop.WaitPosted(6, milliseconds(2000)));  // TX_EMPTY + five chunks
  comm.ClosePort();
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_RX_DATA) == 5; }));
  EXPECT_EQ(events.Received(), "hello");
}

TEST_F(CommPtyTest, LostDeviceRequestsHangupOnceWithoutSpinning) {
  OpenAndSettle();
  pty.Write("x");
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_RX_DATA) == 1; }));
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_HANGUP) == 1; }));
  EXPECT_TRUE(comm.PortOpen());
  const double cpuBefore = ProcessCpuSeconds();
  loop.WaitPumping(300);
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1);
  EXPECT_EQ(events.Count(MSG_HANGUP), 1u);
  comm.SetOutput("gone");  // the writer meets the lost device too
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_HANGUP) == 2; }));
  comm.ClosePort();
  EXPECT_FALSE(comm.PortOpen());
}

}  // namespace
}  // namespace korvane::test
