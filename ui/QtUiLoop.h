#pragma once

#include <QObject>

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

#include "serial/UiLoop.h"

namespace korvane {

// The user-interface loop on Qt's event loop. Each target gets a QObject on
// the loop's thread; a notice travels as a posted event to it, so Qt keeps the
// order of each posting thread and drops what is pending when the target goes.
class TQtUiLoop : public TUiLoop {
 public:
  // At most `maxPending` notices wait for delivery at any time.
  explicit TQtUiLoop(std::size_t maxPending = 65536);
  ~TQtUiLoop() override;
  TQtUiLoop(const TQtUiLoop&) = delete;
  TQtUiLoop& operator=(const TQtUiLoop&) = delete;

  TargetId AddTarget(INoticeTarget& target) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override;

  std::size_t Pending() const { return pending_->load(); }

 private:
  std::size_t maxPending_;
  std::shared_ptr<std::atomic<std::size_t>> pending_;
  std::mutex targetsLock_;  // guards targets_ against posting threads
  std::map<TargetId, std::unique_ptr<QObject>> targets_;
  TargetId nextId_ = 1;
};

}  // namespace korvane
