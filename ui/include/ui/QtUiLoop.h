#pragma once

#include <QObject>

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "serial/OwnerThread.h"
#include "serial/UiLoop.h"

namespace korvane {

// The user-interface loop on Qt's event loop. Notices wait in a queue of the
// loop's own; the first notice of an empty queue posts one wake-up event to
// the loop's thread, and that event hands queued notices to their targets one
// by one, in order, a batch at a time so that paint and input events keep
// their turn during a long burst.
class TQtUiLoop : public TUiLoop {
 public:
  // At most `maxPending` notices wait for delivery, besides hangup notices:
  // those are always taken (each worker posts at most one, as it ends), so a
  // reader that ends on a full queue still tells its owner.
  // As many as the plain loop takes: with cheap posts the reader can run a
  // long way ahead of the handlers during a burst.
  static constexpr std::size_t kDefaultCapacity = 1 << 20;

  explicit TQtUiLoop(std::size_t maxPending = kDefaultCapacity);
  ~TQtUiLoop() override;
  TQtUiLoop(const TQtUiLoop&) = delete;
  TQtUiLoop& operator=(const TQtUiLoop&) = delete;

  TargetId AddTarget(INoticeTarget& target) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override;

  std::size_t Pending() const;
  // Wake-up events handled so far: at most one per batch of notices.
  std::size_t WakeUps() const { return wakeUps_; }

 private:
  struct TQueued {
    TargetId Target;
    TNotice Notice;
  };

  void DeliverQueued();
  void WakeIfQueued();

  TOwnerThread owner_;  // the thread whose Qt event loop delivers
  std::size_t maxPending_;
  std::size_t wakeUps_ = 0;         // loop thread only
  std::unique_ptr<QObject> waker_;  // lives on the loop's thread
  mutable std::mutex mutex_;        // guards everything below
  std::deque<TQueued> queue_;
  bool wakePosted_ = false;
  std::unordered_map<TargetId, INoticeTarget*> targets_;
  TargetId nextId_ = 1;
};

}  // namespace korvane
