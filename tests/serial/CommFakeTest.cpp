#include <gtest/gtest.h>

#include "FakeCommBackend.h"
#include "SerialTestSupport.h"
#include "serial/Comm.h"

namespace korvane::test {
namespace {

using std::chrono::milliseconds;

class CommFakeTest : public ::testing::Test {
 protected:
  CommFakeTest() { events.Attach(comm); }

  void OpenAndSettle() {
    comm.OpenPort();
    ASSERT_TRUE(comm.PortOpen()) << comm.PortOpenError();
    ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 1; }));
  }

  TFakeBackend backend;
  TCountingLoop loop;
  TComm comm{loop, backend};
  TEventLog events;
};

TEST_F(CommFakeTest, EachOpenFailureLeavesThePortClosedWithItsText) {
  struct Case {
    const char* Text;
    std::function<void(TFakeBackend&)> Arrange;
  };
  const Case cases[] = {
      {"Error opening serial port",
       [](TFakeBackend& b) { b.OpenError = std::make_error_code(std::errc::permission_denied); }},
      {"Error opening serial port", [](TFakeBackend& b) { b.OpenError = TCommErrc::PortInUse; }},
      {"File handle is not a comm handle ",
       [](TFakeBackend& b) { b.OpenError = TCommErrc::NotCommDevice; }},
      {"Unable to create event", [](TFakeBackend& b) { b.FailEventNumber = 1; }},
      {"Unable to create read thread", [](TFakeBackend& b) { b.FailThreadNumber = 1; }},
      {"Unable to create write thread", [](TFakeBackend& b) { b.FailThreadNumber = 2; }},
  };
  for (const Case& c : cases) {
    TFakeBackend failing;
    c.Arrange(failing);
    TComm port(loop, failing);
    port.OpenPort();
    EXPECT_FALSE(port.PortOpen()) << c.Text;
    EXPECT_EQ(port.PortOpenError(), c.Text);
    EXPECT_FALSE(port.SendData("x", 1)) << c.Text;
    port.ClosePort();
    EXPECT_EQ(port.PortOpenError(), "");
  }
}

TEST_F(CommFakeTest, QueueSetupFailureRaisesCommsError) {
  TFakeBackend failing;
  failing.FailQueueSetup = true;
  TComm port(loop, failing);
  try {
    port.OpenPort();
    FAIL() << "no ECommsError";
  } catch (const ECommsError& error) {
    EXPECT_STREQ(error.what(), "Cannot setup comm buffer");
  }
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.PortOpenError(), "Cannot setup comm buffer");
}

TEST_F(CommFakeTest, OpenAppliesTheMainWindowSettings) {
  OpenAndSettle();
  std::lock_guard lock(backend.Script.Mutex);
  ASSERT_EQ(backend.Script.States.size(), 1u);
  const TLineSettings& state = backend.Script.States[0];
  EXPECT_EQ(state.Flags, 0x0001u);
  EXPECT_EQ(state.BaudRate, 9600u);
  EXPECT_EQ(state.ByteSize, 8);
  EXPECT_EQ(state.Parity, 0);
  EXPECT_EQ(state.StopBits, 0);
  EXPECT_EQ(state.XonLim, 500);
  EXPECT_EQ(state.XonChar, 0x11);
  EXPECT_EQ(state.XoffChar, 0x13);
  ASSERT_EQ(backend.Script.Timeouts.size(), 1u);
  const TCommTimeouts& t = backend.Script.Timeouts[0];
  EXPECT_EQ(std::vector<std::uint32_t>({t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                        t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                        t.WriteTotalTimeoutConstant}),
            std::vector<std::uint32_t>({100, 0, 0, 0, 0}));
  EXPECT_EQ(backend.Script.Purges.front(), 0x0Fu);
}

TEST_F(CommFakeTest, ChangedLineSettingsAreAppliedAtOnceOnlyWhileOpen) {
  comm.SetBaudRate(19200);  // closed: stored only
  OpenAndSettle();
  comm.SetBaudRate(19200);  // unchanged: nothing applied
  comm.SetDtrControl(TDtrControl::DtrEnable);
  comm.SetRtsControl(TRtsControl::RtsTransmissionAvailable);
  comm.SetParity(TParity::Space);
  comm.SetReadTotalTimeoutConstant(7);
  comm.SetReadTotalTimeoutConstant(7);
  std::lock_guard lock(backend.Script.Mutex);
  const auto& states = backend.Script.States;
  ASSERT_EQ(states.size(), 4u);
  EXPECT_EQ(states[0].BaudRate, 19200u);
  EXPECT_EQ(states[1].Flags, 0x0011u);
  EXPECT_EQ(states[2].Flags, 0x3011u);
  EXPECT_EQ(states[3].Parity, 4);
  ASSERT_EQ(backend.Script.Timeouts.size(), 2u);
  EXPECT_EQ(backend.Script.Timeouts[1].ReadTotalTimeoutConstant, 7u);
}

TEST_F(CommFakeTest, ShortWriteIsContinuedWithTheRest) {
  backend.Script.WriteLimits = {300};
  OpenAndSettle();
  std::string block(512, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<char>(i * 7);
  }
  ASSERT_TRUE(comm.SendData(block.data(), 512));
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_TX_EMPTY) == 2; }));
  EXPECT_TRUE(comm.SendIdle());
  std::lock_guard lock(backend.Script.Mutex);
  EXPECT_EQ(backend.Script.WriteSizes, (std::vector<std::uint32_t>{300, 212}));
  EXPECT_EQ(backend.Script.Written, block);
}

TEST_F(CommFakeTest, RefusedWriteRequestsHangupAndEndsTheWriter) {
  backend.Script.RefuseWrites = true;
  OpenAndSettle();
  ASSERT_TRUE(comm.SendData("abc", 3));
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_HANGUP) == 1; }));
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_FALSE(comm.SendData("abc", 3));
  comm.SetOutput("more");
  loop.WaitPumping(30);
  EXPECT_EQ(events.Count(MSG_HANGUP), 1u);
  EXPECT_EQ(events.Count(MSG_TX_EMPTY), 1u);
  comm.ClosePort();
  {
    std::lock_guard lock(backend.Script.Mutex);
    backend.Script.RefuseWrites = false;
  }
  comm.OpenPort();  // only a reopen recovers
  EXPECT_TRUE(comm.SendData("abc", 3));
}

TEST_F(CommFakeTest, LineErrorIsReportedAndReceptionGoesOn) {
  OpenAndSettle();
  backend.AddChunk("a");
  ASSERT_TRUE(loop.WaitPosted(2, milliseconds(2000)));
  backend.AddEvent(CommEvent::Error, LineError::Frame);
  ASSERT_TRUE(loop.WaitPosted(3, milliseconds(2000)));
  backend.AddChunk("b");
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_RX_DATA) == 2; }));
  ASSERT_EQ(events.Entries.size(), 4u);  // TX_EMPTY, "a", error, "b"
  EXPECT_EQ(events.Entries[2].Msg, MSG_RX_ERROR);
  EXPECT_EQ(events.Entries[2].Value, LineError::Frame);
  EXPECT_EQ(events.Received(), "ab");
}

TEST_F(CommFakeTest, OneCommEventGivesErrorBeforeModemAndJoinsCarrierAndRing) {
  OpenAndSettle();
  backend.AddEvent(CommEvent::Carrier | CommEvent::Ring);
  backend.AddEvent(CommEvent::Error | CommEvent::Carrier, LineError::Break);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Entries.size() == 4; }));
  EXPECT_EQ(events.Entries[1].Msg, MSG_MODEM);
  EXPECT_EQ(events.Entries[1].Value, 12u);
  EXPECT_EQ(events.Entries[2].Msg, MSG_RX_ERROR);
  EXPECT_EQ(events.Entries[2].Value, LineError::Break);
  EXPECT_EQ(events.Entries[3].Msg, MSG_MODEM);
  EXPECT_EQ(events.Entries[3].Value, MODEM_RLSD);
}

TEST_F(CommFakeTest, EventWithoutWatchedBitsHangsUpAndStopsReception) {
  OpenAndSettle();
  backend.AddEvent(0x0001);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_HANGUP) == 1; }));
  backend.AddChunk("late");
  loop.WaitPumping(50);
  EXPECT_EQ(events.Count(MSG_RX_DATA), 0u);
  EXPECT_EQ(events.Count(MSG_HANGUP), 1u);
  EXPECT_TRUE(comm.PortOpen());
  comm.ClosePort();
  EXPECT_FALSE(comm.PortOpen());
}

TEST_F(CommFakeTest, AWaitEndedByAMaskChangeIsRestartedWithoutHangup) {
  OpenAndSettle();
  backend.AddEvent(TFakePort::kWaitEndedByMaskChange);
  backend.AddEvent(CommEvent::Ring);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Count(MSG_MODEM) == 1; }));
  backend.AddChunk("on");
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.Received() == "on"; }));
  EXPECT_EQ(events.Count(MSG_HANGUP), 0u);
}

TEST_F(CommFakeTest, NoticesThatCannotBePostedEndTheReader) {
  TCountingLoop tiny(1);
  TComm port(tiny, backend);
  TEventLog log;
  log.Attach(port);
  port.OpenPort();
  ASSERT_TRUE(tiny.WaitPosted(1, milliseconds(2000)));  // the writer's first TX_EMPTY fills it
  backend.AddChunk("x");
  // The chunk is refused; the hangup that reports it is taken all the same.
  ASSERT_TRUE(tiny.WaitRefused(1, milliseconds(2000)));
  ASSERT_TRUE(tiny.WaitPosted(2, milliseconds(2000)));
  tiny.WaitPumping(20);
  backend.AddChunk("y");
  tiny.WaitPumping(50);
  EXPECT_EQ(log.Count(MSG_RX_DATA), 0u);  // the reader has ended
  EXPECT_EQ(log.Count(MSG_TX_EMPTY), 1u);
  EXPECT_EQ(log.Count(MSG_HANGUP), 1u);
  port.ClosePort();
}

}  // namespace
}  // namespace korvane::test
