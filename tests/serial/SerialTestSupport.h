#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/Comm.h"
#include "serial/PlainLoop.h"

namespace korvane::test {

// A plain loop that also counts posts, so tests can wait until workers have
// posted without pumping.
class TCountingLoop final : public TUiLoop {
 public:
  explicit TCountingLoop(std::size_t capacity = TPlainLoop::kDefaultCapacity) : loop_(capacity) {}

  TargetId AddTarget(INoticeTarget& target) override { return loop_.AddTarget(target); }
  void RemoveTarget(TargetId id) override { loop_.RemoveTarget(id); }
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override { loop_.WaitPumping(milliseconds); }

  // Wait without pumping until `count` notices have been posted (or refused) in all.
  bool WaitPosted(std::size_t count, std::chrono::milliseconds limit);
  bool WaitRefused(std::size_t count, std::chrono::milliseconds limit);

 private:
  TPlainLoop loop_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::size_t count_ = 0;
  std::size_t refused_ = 0;
};

// Pumps `loop` until `done` holds or `limit` has passed; returns `done()`.
bool PumpUntil(TUiLoop& loop, const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

// Records every event a component raises, in order.
struct TEventLog {
  struct TEntry {
    std::uint32_t Msg;
    std::string Data;  // received bytes (MSG_RX_DATA)
    std::uint32_t Value = 0;
    std::chrono::steady_clock::time_point At;
  };

  void Attach(TComm& comm);
  std::size_t Count(std::uint32_t msg) const;
  std::vector<std::string> Chunks() const;
  std::string Received() const;

  std::vector<TEntry> Entries;
};

// A pseudo-terminal pair: the test plays the device on the master side; the
// component opens SlavePath.
class TPtyPair {
 public:
  TPtyPair();
  ~TPtyPair();
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }
  void Write(const std::string& bytes);
  // Reads until `count` bytes have come or `limit` passes without a byte.
  std::string Read(std::size_t count, std::chrono::milliseconds limit);
  void CloseMaster();
  // Suspends or resumes the slave side's output, as a far end's flow control would.
  void HoldSlaveOutput(bool hold);

 private:
  int master_ = -1;
  int keepSlave_ = -1;  // keeps the slave side alive between opens
  std::string slavePath_;
};

}  // namespace korvane::test
