#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileBytes.h"
#include "serial/Comm.h"
#include "serial/MessageLoop.h"
#include "serial/PortClaim.h"
#include "serial/PortList.h"
#include "serial/win32/Win32Backend.h"
#include "tests/support/TempDir.h"
#include "tests/win32/HarnessPorts.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;
using test::HarnessVariable;

constexpr unsigned kTiocmCarrier = 0x040;  // TIOCM_CD

// A component on the Windows message loop that records everything it raises.
class CommWin32 : public ::testing::Test {
 protected:
  struct Chunk {
    std::string Bytes;
    Clock::time_point At;
  };

  void SetUp() override {
    comm_.OnReceiveData = [this](TComm&, const char* data, std::uint16_t length) {
      chunks_.push_back({std::string(data, length), Clock::now()});
      received_.append(data, length);
    };
    comm_.OnSendDataEmpty = [this](TComm&) { ++drained_; };
    comm_.OnRequestHangup = [this](TComm&) { ++hangups_; };
    comm_.OnModemStateChange = [this](TComm&, std::uint32_t bits) { modem_.push_back(bits); };
  }
  void TearDown() override { comm_.ClosePort(); }

  void Open(const char* variable) {
    const std::string port = HarnessVariable(variable);
    ASSERT_FALSE(port.empty()) << variable << " is not set: run the suite through the harness";
    comm_.SetCommName("//./" + port);
    comm_.OpenPort();
    ASSERT_TRUE(comm_.PortOpen()) << port << ": " << comm_.PortOpenError();
  }

  // Pumps the loop until `done` holds or `limit` has passed; true when it held.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() >= deadline) {
        return false;
      }
      loop_.WaitPumping(10);
    }
    return true;
  }

  void Send(const std::string& bytes) {
    ASSERT_TRUE(comm_.SendData(bytes.data(), static_cast<std::uint16_t>(bytes.size())));
  }

  TMessageLoop loop_;
  TComm comm_{loop_};
  std::vector<Chunk> chunks_;
  std::string received_;
  int drained_ = 0;
  int hangups_ = 0;
  std::vector<std::uint32_t> modem_;
};

TEST_F(CommWin32, HarnessPortsAreListedFromTheRegistry) {
  const auto ports = ListSerialPorts();
  for (const char* variable : {"KORVANE_ECHO_PORT", "KORVANE_STALL_PORT"}) {
    const std::string name = HarnessVariable(variable);
    ASSERT_FALSE(name.empty()) << variable;
    bool listed = false;
    for (const SerialPortEntry& port : ports) {
      listed = listed || (port.Name == name && port.Path == "//./" + name);
    }
    EXPECT_TRUE(listed) << name << " is not in the port list";
  }
}

TEST_F(CommWin32, OpenFailuresLeaveThePortClosedWithTheirReason) {
  comm_.SetCommName("//./COM99");
  comm_.OpenPort();
  EXPECT_FALSE(comm_.PortOpen());
  EXPECT_EQ(comm_.PortOpenError(), "Error opening serial port");

  test::TempDir dir;
  const std::string file = dir.File("plain.txt");
  ASSERT_TRUE(ReplaceFileBytes(file, "not a port").Ok());
  comm_.SetCommName(file);
  comm_.OpenPort();
  EXPECT_FALSE(comm_.PortOpen());
  EXPECT_EQ(comm_.PortOpenError(), "File handle is not a comm handle ");
  EXPECT_TRUE(ReplaceFileBytes(file, "closed again, so it can be replaced").Ok());

  comm_.ClosePort();
  EXPECT_EQ(comm_.PortOpenError(), "");
}

TEST_F(CommWin32, AnOpenPortIsNeitherReopenedNorShared) {
  Open("KORVANE_ECHO_PORT");
  comm_.OpenPort();
  EXPECT_TRUE(comm_.PortOpen());
  EXPECT_EQ(comm_.PortOpenError(), "This serial port already opened");

  TComm other(loop_);
  other.SetCommName(comm_.CommName());
  other.OpenPort();
  EXPECT_FALSE(other.PortOpen());
  EXPECT_EQ(other.PortOpenError(), "Error opening serial port");
  EXPECT_TRUE(IsPortClaimed(comm_.CommName()));

  comm_.ClosePort();
  EXPECT_FALSE(IsPortClaimed(comm_.CommName()));
  other.OpenPort();
  EXPECT_TRUE(other.PortOpen()) << other.PortOpenError();
  other.ClosePort();
}

TEST_F(CommWin32, ATenByteAnswerArrivesAsTenOneByteEvents) {
  Open("KORVANE_ECHO_PORT");
  const std::string answer("\xC7\xEB\xC7\xF3\x00\xD3\x4F\x4B\x0D\x0A", 10);
  Send(answer);
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= answer.size(); }));
  loop_.WaitPumping(150);  // nothing more may follow
  ASSERT_EQ(chunks_.size(), 10u);
  for (const Chunk& chunk : chunks_) {
    EXPECT_EQ(chunk.Bytes.size(), 1u);
  }
  EXPECT_EQ(received_, answer);
}

TEST_F(CommWin32, InputLenFourCutsABurstAfterTheIntervalTimeout) {
  comm_.SetInputLen(4);
  Open("KORVANE_ECHO_PORT");
  Send("0123456789");
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= 10; }));
  loop_.WaitPumping(150);
  ASSERT_EQ(chunks_.size(), 3u) << received_;
  EXPECT_EQ(chunks_[0].Bytes, "0123");
  EXPECT_EQ(chunks_[1].Bytes, "4567");
  EXPECT_EQ(chunks_[2].Bytes, "89");
  // The short last chunk ends only when the line has been quiet for 100 ms.
  const auto gap = chunks_[2].At - chunks_[1].At;
  EXPECT_GE(gap, std::chrono::milliseconds(80));
  EXPECT_LT(gap, std::chrono::milliseconds(1000));
}

TEST_F(CommWin32, RequestsKeepTheirOrderAndADrainedQueueIsAnnouncedOncePerRun) {
  Open("KORVANE_ECHO_PORT");
  ASSERT_TRUE(PumpUntil([&] { return drained_ == 1; }));  // announced once at the start
  EXPECT_TRUE(comm_.SendIdle());

  const std::string a(300, 'a'), b(200, 'b'), c(100, 'c');
  Send(a);
  Send(b);
  Send(c);
  ASSERT_TRUE(PumpUntil([&] { return received_.size() >= 600; }));
  loop_.WaitPumping(200);
  EXPECT_EQ(received_, a + b + c);
  EXPECT_EQ(drained_, 2);

  for (const std::string& request : {a, b, c}) {
    const int before = drained_;
    Send(request);
    ASSERT_TRUE(PumpUntil([&] { return drained_ == before + 1; }));
  }
  EXPECT_EQ(drained_, 5);
  EXPECT_TRUE(comm_.SendIdle());
  EXPECT_EQ(hangups_, 0);
}

TEST_F(CommWin32, ClosePortCutsALongWriteShortAndDropsWhatIsQueued) {
  Open("KORVANE_STALL_PORT");
  ASSERT_TRUE(PumpUntil([&] { return drained_ == 1; }));
  const std::string big(65535, 'x');
  Send(big);
  Send("behind it");
  Send("and more");
  loop_.WaitPumping(300);
  ASSERT_FALSE(comm_.SendIdle()) << "the line did not stall";

  const auto start = Clock::now();
  comm_.ClosePort();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(comm_.PortOpen());
  loop_.WaitPumping(300);
  EXPECT_EQ(drained_, 1);
  EXPECT_EQ(hangups_, 0);
  EXPECT_FALSE(comm_.SendData("x", 1));
}

TEST_F(CommWin32, CarrierAndRingInOneEventGiveTwelve) {
  ASSERT_TRUE(test::SetModemState(0, 0, 0)) << "KORVANE_MODEM_STATE_WIN is not writable";
  Open("KORVANE_ECHO_PORT");
  loop_.WaitPumping(200);                                 // the reader's comm-event wait is pending
  ASSERT_TRUE(test::SetModemState(kTiocmCarrier, 1, 1));  // carrier on, one ring
  ASSERT_TRUE(PumpUntil([&] { return !modem_.empty(); }));
  loop_.WaitPumping(200);
  EXPECT_EQ(modem_, std::vector<std::uint32_t>{MODEM_RLSD | MODEM_RING});
  EXPECT_EQ(hangups_, 0);
  ASSERT_TRUE(test::SetModemState(0, 1, 2));
}

}  // namespace
}  // namespace korvane
