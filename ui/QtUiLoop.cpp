#include "ui/QtUiLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>

namespace korvane {
namespace {

const QEvent::Type kWakeEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Notices handed over per wake-up before other events get their turn.
constexpr std::size_t kNoticesPerWake = 1024;

class TWaker : public QObject {
 public:
  explicit TWaker(std::function<void()> wake) : wake_(std::move(wake)) {}

  bool event(QEvent* event) override {
    if (event->type() != kWakeEventType) {
      return QObject::event(event);
    }
    wake_();
    return true;
  }

 private:
  std::function<void()> wake_;
};

void PostWake(QObject* waker) {
  QCoreApplication::postEvent(waker, new QEvent(kWakeEventType));
}

}  // namespace

TQtUiLoop::TQtUiLoop(std::size_t maxPending)
    : maxPending_(maxPending), waker_(std::make_unique<TWaker>([this] { DeliverQueued(); })) {}

// The waker goes first, and with it any wake-up still posted.
TQtUiLoop::~TQtUiLoop() {
  owner_.Check();
  waker_.reset();
}

TUiLoop::TargetId TQtUiLoop::AddTarget(INoticeTarget& target) {
  owner_.Check();
  std::lock_guard lock(mutex_);
  const TargetId id = nextId_++;
  targets_.emplace(id, &target);
  return id;
}

void TQtUiLoop::RemoveTarget(TargetId id) {
  owner_.Check();
  std::deque<TQueued> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  targets_.erase(id);
  auto keep = std::stable_partition(queue_.begin(), queue_.end(),
                                    [id](const TQueued& queued) { return queued.Target != id; });
  std::move(keep, queue_.end(), std::back_inserter(dropped));
  queue_.erase(keep, queue_.end());
}

bool TQtUiLoop::Post(TargetId target, TNotice&& notice) {
  {
    std::lock_guard lock(mutex_);
    if (targets_.find(target) == targets_.end()) {
      return false;
    }
    if (queue_.size() >= maxPending_ && notice.Msg != MSG_HANGUP) {
      return false;
    }
    queue_.push_back({target, std::move(notice)});
    if (wakePosted_) {
      return true;  // the wake-up on its way delivers this one too
    }
    wakePosted_ = true;
  }
  PostWake(waker_.get());
  return true;
}

// A handler may remove targets, post, or run a nested loop that delivers the
// next notices itself: each notice is taken from the queue before it is handed
// over, and its target is looked up afresh.
void TQtUiLoop::DeliverQueued() {
  owner_.Check();
  ++wakeUps_;
  {
    std::lock_guard lock(mutex_);
    wakePosted_ = false;
  }
  for (std::size_t handed = 0; handed < kNoticesPerWake; ++handed) {
    std::optional<TQueued> next;
    INoticeTarget* target = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) {
        return;
      }
      next.emplace(std::move(queue_.front()));
      queue_.pop_front();
      const auto found = targets_.find(next->Target);
      target = found == targets_.end() ? nullptr : found->second;
    }
    if (target != nullptr) {
      target->HandleNotice(next->Notice);
    }
  }
  WakeIfQueued();
}

void TQtUiLoop::WakeIfQueued() {
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty() || wakePosted_) {
      return;
    }
    wakePosted_ = true;
  }
  PostWake(waker_.get());
}

std::size_t TQtUiLoop::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void TQtUiLoop::WaitPumping(std::uint32_t milliseconds) {
  owner_.Check();
  if (milliseconds == 0) {
    return;
  }
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.start(static_cast<int>(milliseconds));
  loop.exec();
}

}  // namespace korvane
