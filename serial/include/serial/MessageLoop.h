#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "serial/OwnerThread.h"
#include "serial/UiLoop.h"

namespace korvane {

// Windows only. The user-interface loop on the Windows message queue. Each notice target is
// a hidden message-only window owned by the loop's thread; workers post
// notices to it with PostMessageA, and WaitPumping serves the thread's queue
// (MsgWaitForMultipleObjects), so window messages of the thread are handled
// as well.
class TMessageLoop final : public TUiLoop {
 public:
  // At most `maxPending` notices wait for delivery, besides hangup notices,
  // which are always posted (each worker posts at most one, as it ends). The
  // system's queue would refuse a post only at its own limit (10000 messages
  // per thread on Windows, none under Wine): the default stays below it with
  // room for the hangups and the window messages of the thread.
  static constexpr std::size_t kDefaultCapacity = 8000;

  explicit TMessageLoop(std::size_t maxPending = kDefaultCapacity);
  ~TMessageLoop() override;
  TMessageLoop(const TMessageLoop&) = delete;
  TMessageLoop& operator=(const TMessageLoop&) = delete;

  // 0 when the window cannot be created; posts to it then fail.
  TargetId AddTarget(INoticeTarget& target) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override;

  // Notices posted and neither delivered nor dropped yet.
  std::size_t Pending() const { return pending_.load(); }

 private:
  // Counts the notice in, unless it is not a hangup and the queue is full.
  bool ReserveRoomFor(std::uint32_t msg);

  TOwnerThread owner_;  // the thread whose message queue serves the targets
  std::size_t maxPending_;
  std::atomic<std::size_t> pending_{0};
};

}  // namespace korvane
