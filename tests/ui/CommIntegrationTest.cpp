#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QPushButton>

#include <chrono>
#include <string>
#include <thread>

#include "serial/Comm.h"
#include "tests/ui/FormWidgets.h"
#include "ui/CommPort.h"
#include "ui/Led.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace korvane {
namespace {

using test::Widget;

// The master side of a pseudo-terminal; the window opens the slave.
class TPtyMaster {
 public:
  TPtyMaster() {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0 && (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ >= 0) {
      termios raw{};
      ::tcgetattr(fd_, &raw);
      ::cfmakeraw(&raw);
      ::tcsetattr(fd_, TCSANOW, &raw);
    }
  }
  ~TPtyMaster() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  TPtyMaster(const TPtyMaster&) = delete;
  TPtyMaster& operator=(const TPtyMaster&) = delete;

  bool Valid() const { return fd_ >= 0; }
  // "pts/N": the name under /dev that the port list would show.
  std::string SlaveName() const { return std::string(::ptsname(fd_)).substr(5); }
  void Write(const std::string& bytes) const {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads what arrives within `milliseconds`.
  std::string Read(std::size_t wanted, int milliseconds) const {
    std::string received;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (received.size() < wanted && std::chrono::steady_clock::now() < deadline) {
      pollfd poller{fd_, POLLIN, 0};
      if (::poll(&poller, 1, 20) > 0) {
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
          received.append(buffer, static_cast<std::size_t>(n));
        }
      }
    }
    return received;
  }

 private:
  int fd_ = -1;
};

TEST(MainWindowWithSerialComponent, OpensAPortReceivesIntoTheLogAndSends) {
  TPtyMaster master;
  ASSERT_TRUE(master.Valid());
  TQtUiLoop loop;
  const std::string name = master.SlaveName();
  TFormMainServices services;
  services.Comm = std::make_unique<TCommPort>(loop);
  services.ListPorts = [name] { return std::vector<PortListEntry>{{name, "/dev/" + name}}; };
  services.Boxes.Show = [](const QString& text, const QString&) {
    ADD_FAILURE() << text.toStdString();
  };
  TFormMain window(std::move(services));
  ASSERT_TRUE(window.Comm1().PortOpen());
  EXPECT_TRUE(Widget<TiLedRound>(window, "LED").Active());

  master.Write(std::string("\x12\x00\xAB", 3));
  for (int i = 0; i < 100 && window.ResponseLog().Text().size() < 6; ++i) {
    loop.WaitPumping(10);
  }
  EXPECT_EQ(window.ResponseLog().Text(), "1200AB");

  window.Comm1().SetOutput("\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC");
  EXPECT_EQ(master.Read(8, 2000), "\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC");

  Widget<QPushButton>(window, "BitBtn1").click();
  EXPECT_FALSE(window.Comm1().PortOpen());
  EXPECT_FALSE(Widget<TiLedRound>(window, "LED").Active());
}

// A reader whose notices overflow the loop's queue ends; its hangup notice
// still reaches the owner, after the bytes that were queued.
TEST(SerialComponentOnTheQtLoop, HangupAfterAnOverflowIsDelivered) {
  TPtyMaster master;
  ASSERT_TRUE(master.Valid());
  constexpr std::size_t kRoom = 16;
  TQtUiLoop loop(kRoom);
  TComm comm(loop);
  std::string received;
  int hangups = 0;
  comm.OnReceiveData = [&](TComm&, const char* buffer, std::uint16_t length) {
    EXPECT_EQ(hangups, 0);
    received.append(buffer, length);
  };
  comm.OnRequestHangup = [&](TComm&) { ++hangups; };
  comm.SetInputLen(1);
  comm.SetCommName("/dev/" + master.SlaveName());
  comm.OpenPort();
  ASSERT_TRUE(comm.PortOpen());
  master.Write(std::string(4 * kRoom, 'x'));
  // Nothing is delivered until the loop pumps: wait for the reader to end.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (loop.Pending() <= kRoom && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (int i = 0; i < 100 && hangups == 0; ++i) {
    loop.WaitPumping(10);
  }
  // Each worker whose notice is refused asks once: the writer too, when its
  // first notice comes after the reader filled the queue.
  EXPECT_GE(hangups, 1);
  EXPECT_LE(hangups, 2);
  // The queue also holds the component's own notices (the writer's, for one).
  EXPECT_GE(received.size(), kRoom / 2);
  EXPECT_LE(received.size(), kRoom);
  EXPECT_EQ(received, std::string(received.size(), 'x'));
  comm.ClosePort();
}

}  // namespace
}  // namespace korvane
