#include "SerialTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace korvane::test {

bool TCountingLoop::Post(TargetId target, TNotice&& notice) {
  const bool posted = loop_.Post(target, std::move(notice));
  {
    std::lock_guard lock(mutex_);
    ++(posted ? count_ : refused_);
  }
  posted_.notify_all();
  return posted;
}

bool TCountingLoop::WaitPosted(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, limit, [&] { return count_ >= count; });
}

bool TCountingLoop::WaitRefused(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, limit, [&] { return refused_ >= count; });
}

bool PumpUntil(TUiLoop& loop, const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    loop.WaitPumping(5);
  }
  return done();
}

void TEventLog::Attach(TComm& comm) {
  auto add = [this](std::uint32_t msg, std::string data, std::uint32_t value) {
    Entries.push_back({msg, std::move(data), value, std::chrono::steady_clock::now()});
  };
  comm.OnReceiveData = [add](TComm&, const char* buffer, std::uint16_t length) {
    add(MSG_RX_DATA, std::string(buffer, length), length);
  };
  comm.OnReceiveError = [add](TComm&, std::uint32_t mask) { add(MSG_RX_ERROR, {}, mask); };
  comm.OnModemStateChange = [add](TComm&, std::uint32_t bits) { add(MSG_MODEM, {}, bits); };
  comm.OnRequestHangup = [add](TComm&) { add(MSG_HANGUP, {}, 0); };
  comm.OnSendDataEmpty = [add](TComm&) { add(MSG_TX_EMPTY, {}, 0); };
}

std::size_t TEventLog::Count(std::uint32_t msg) const {
  std::size_t count = 0;
  for (const TEntry& entry : Entries) {
    count += entry.Msg == msg ? 1 : 0;
  }
  return count;
}

std::vector<std::string> TEventLog::Chunks() const {
  std::vector<std::string> chunks;
  for (const TEntry& entry : Entries) {
    if (entry.Msg == MSG_RX_DATA) {
      chunks.push_back(entry.Data);
    }
  }
  return chunks;
}

std::string TEventLog::Received() const {
  std::string all;
  for (const std::string& chunk : Chunks()) {
    all += chunk;
  }
  return all;
}

TPtyPair::TPtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("cannot create a pseudo-terminal");
  }
  slavePath_ = ::ptsname(master_);
  keepSlave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  ::tcgetattr(master_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(master_, TCSANOW, &tio);
}

TPtyPair::~TPtyPair() {
  CloseMaster();
  if (keepSlave_ >= 0) {
    ::close(keepSlave_);
  }
}

void TPtyPair::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      throw std::runtime_error("cannot write to the pseudo-terminal");
    }
    done += static_cast<std::size_t>(n);
  }
}

std::string TPtyPair::Read(std::size_t count, std::chrono::milliseconds limit) {
  std::string got;
  char buffer[4096];
  while (got.size() < count) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(limit.count())) <= 0 || (fd.revents & POLLIN) == 0) {
      break;
    }
    const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) {
      break;
    }
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void TPtyPair::HoldSlaveOutput(bool hold) {
  if (::tcflow(keepSlave_, hold ? TCOOFF : TCOON) != 0) {
    throw std::runtime_error("cannot hold the pseudo-terminal's output");
  }
}

void TPtyPair::CloseMaster() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

}  // namespace korvane::test
