#include "serial/PlainLoop.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace korvane {

TPlainLoop::TPlainLoop(std::size_t capacity) : capacity_(capacity) {}

TUiLoop::TargetId TPlainLoop::AddTarget(INoticeTarget& target) {
  owner_.Check();
  const TargetId id = nextId_++;
  targets_[id] = &target;
  return id;
}

void TPlainLoop::RemoveTarget(TargetId id) {
  owner_.Check();
  targets_.erase(id);
  std::deque<TQueued> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  auto keep = std::stable_partition(queue_.begin(), queue_.end(),
                                    [id](const TQueued& queued) { return queued.Target != id; });
  std::move(keep, queue_.end(), std::back_inserter(dropped));
  queue_.erase(keep, queue_.end());
}

bool TPlainLoop::Post(TargetId target, TNotice&& notice) {
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    // A worker posts its hangup as it ends, at most once, often because a post
    // was refused: it is always taken, so the owner learns of the end.
    if (queue_.size() >= capacity_ && notice.Msg != MSG_HANGUP) {
      return false;
    }
    wasEmpty = queue_.empty();
    queue_.push_back({target, std::move(notice)});
  }
  // The pump sleeps only on an empty queue, so only the first notice needs to wake it.
  if (wasEmpty) {
    posted_.notify_one();
  }
  return true;
}

void TPlainLoop::WaitPumping(std::uint32_t milliseconds) {
  owner_.Check();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    std::optional<TQueued> next;
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
        return;
      }
      if (Clock::now() >= deadline) {
        return;
      }
      next.emplace(std::move(queue_.front()));
      queue_.pop_front();
    }
    // A handler may remove targets or pump again; look the target up afresh.
    auto found = targets_.find(next->Target);
    if (found != targets_.end()) {
      found->second->HandleNotice(next->Notice);
    }
  }
}

}  // namespace korvane
