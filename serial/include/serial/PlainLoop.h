#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "serial/OwnerThread.h"
#include "serial/UiLoop.h"

namespace korvane {

// The user-interface loop without a toolkit: a bounded notice queue guarded by
// a mutex, pumped by WaitPumping on the thread that owns the loop. Hangup
// notices are taken beyond the bound.
class TPlainLoop final : public TUiLoop {
 public:
  static constexpr std::size_t kDefaultCapacity = 1 << 20;  // notices

  explicit TPlainLoop(std::size_t capacity = kDefaultCapacity);

  TargetId AddTarget(INoticeTarget& target) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override;

 private:
  struct TQueued {
    TargetId Target;
    TNotice Notice;
  };

  TOwnerThread owner_;  // the pumping thread
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<TQueued> queue_;
  std::unordered_map<TargetId, INoticeTarget*> targets_;  // loop thread only
  TargetId nextId_ = 1;
};

}  // namespace korvane
