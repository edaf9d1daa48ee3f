#include <gtest/gtest.h>

#include "FakeCommBackend.h"
#include "SerialTestSupport.h"
#include "serial/Comm.h"

namespace korvane::test {
namespace {

class CommPropertiesTest : public ::testing::Test {
 protected:
  TFakeBackend backend;
  TCountingLoop loop;
  TComm comm{loop, backend};
};

TEST_F(CommPropertiesTest, CommPortRenamesOnlyForANewNonZeroNumber) {
  comm.SetCommPort(0);
  EXPECT_EQ(comm.CommName(), "COM1");
  comm.SetCommPort(7);
  EXPECT_EQ(comm.CommName(), "COM7");
  comm.SetCommName("//./ttyUSB0");
  comm.SetCommPort(7);
  EXPECT_EQ(comm.CommName(), "//./ttyUSB0");
  EXPECT_EQ(comm.CommPort(), 7);
}

TEST_F(CommPropertiesTest, InputLenStaysWithinInBufferSize) {
  comm.SetInputLen(0);
  EXPECT_EQ(comm.InputLen(), 2048);
  comm.SetInputLen(4096);  // above the buffer: ignored
  EXPECT_EQ(comm.InputLen(), 2048);
  comm.SetInputLen(16);
  EXPECT_EQ(comm.InputLen(), 16);
  comm.SetInBufferSize(0);
  EXPECT_EQ(comm.InBufferSize(), 1);
  EXPECT_EQ(comm.InputLen(), 1);  // lowered with the buffer
  comm.SetInBufferSize(8192);
  comm.SetInputLen(4096);
  EXPECT_EQ(comm.InputLen(), 4096);
}

TEST_F(CommPropertiesTest, NothingIsSentWhileClosedOrEmpty) {
  EXPECT_FALSE(comm.SendData("x", 1));
  comm.SetOutput("stored");
  EXPECT_EQ(comm.Output(), "stored");
  comm.OpenPort();
  ASSERT_TRUE(comm.PortOpen());
  EXPECT_FALSE(comm.SendData("x", 0));
  comm.SetOutput("");
  comm.SetOutput(std::string(65536, 'z'));  // only the low 16 bits of the length count
  EXPECT_TRUE(comm.SendIdle());
  comm.SetOutput("ok");
  EXPECT_TRUE(PumpUntil(loop, [&] {
    std::lock_guard lock(backend.Script.Mutex);
    return backend.Script.Written == "ok";
  }));
}

TEST_F(CommPropertiesTest, PortOpenSetterRunsOpenAndCloseEveryTime) {
  comm.SetPortOpen(true);
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.PortOpenError(), "");
  comm.SetPortOpen(true);
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.PortOpenError(), "This serial port already opened");
  comm.SetPortOpen(false);
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(comm.PortOpenError(), "");
}

TEST_F(CommPropertiesTest, RequestsSentRightAfterOpenAreAccepted) {
  comm.OpenPort();
  ASSERT_TRUE(comm.SendData("early", 5));
  // Idle only once the request has been written, however the writer's start-up falls.
  ASSERT_TRUE(PumpUntil(loop, [&] { return comm.SendIdle(); }));
  std::lock_guard lock(backend.Script.Mutex);
  EXPECT_EQ(backend.Script.Written, "early");
}

TEST_F(CommPropertiesTest, DestroyingAnOpenComponentStopsItsWorkers) {
  int delivered = 0;
  auto port = std::make_unique<TComm>(loop, backend);
  port->OnReceiveData = [&](TComm&, const char*, std::uint16_t) { ++delivered; };
  port->OnSendDataEmpty = [&](TComm&) { ++delivered; };
  port->OpenPort();
  ASSERT_TRUE(port->PortOpen());
  backend.AddChunk("pending");
  ASSERT_TRUE(loop.WaitPosted(2, std::chrono::milliseconds(2000)));
  port.reset();  // joins the workers and drops the notices still queued for it
  loop.WaitPumping(20);
  EXPECT_EQ(delivered, 0);
}

}  // namespace
}  // namespace korvane::test
