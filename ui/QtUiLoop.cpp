#include "ui/QtUiLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace korvane {
namespace {

const QEvent::Type kNoticeEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Carries one notice; destroying an undelivered event frees its block.
class TNoticeEvent : public QEvent {
 public:
  TNoticeEvent(TNotice&& notice, std::shared_ptr<std::atomic<std::size_t>> pending)
      : QEvent(kNoticeEventType), notice_(std::move(notice)), pending_(std::move(pending)) {}
  ~TNoticeEvent() override { --*pending_; }
  TNoticeEvent(const TNoticeEvent&) = delete;
  TNoticeEvent& operator=(const TNoticeEvent&) = delete;

  TNotice& Notice() { return notice_; }

 private:
  TNotice notice_;
  std::shared_ptr<std::atomic<std::size_t>> pending_;
};

class TNoticeReceiver : public QObject {
 public:
  explicit TNoticeReceiver(INoticeTarget& target) : target_(&target) {}

  bool Delivering() const { return delivering_ > 0; }
  void Detach() { target_ = nullptr; }

  bool event(QEvent* event) override {
    if (event->type() != kNoticeEventType) {
      return QObject::event(event);
    }
    if (target_ != nullptr) {
      ++delivering_;
      struct TLeave {
        int& depth;
        ~TLeave() { --depth; }
      } leave{delivering_};
      target_->HandleNotice(static_cast<TNoticeEvent*>(event)->Notice());
    }
    return true;
  }

 private:
  INoticeTarget* target_;
  int delivering_ = 0;
};

// Drops the receiver's pending notices and deletes it; a receiver that is
// delivering right now (its target removed itself) is deleted once it is done.
void DisposeReceiver(std::unique_ptr<QObject> object) {
  auto* receiver = static_cast<TNoticeReceiver*>(object.get());
  QCoreApplication::removePostedEvents(receiver, kNoticeEventType);
  if (receiver->Delivering()) {
    receiver->Detach();
    object.release()->deleteLater();
  }
}

}  // namespace

TQtUiLoop::TQtUiLoop(std::size_t maxPending)
    : maxPending_(maxPending), pending_(std::make_shared<std::atomic<std::size_t>>(0)) {}

TQtUiLoop::~TQtUiLoop() {
  std::lock_guard guard(targetsLock_);
  targets_.clear();
}

TUiLoop::TargetId TQtUiLoop::AddTarget(INoticeTarget& target) {
  std::lock_guard guard(targetsLock_);
  const TargetId id = nextId_++;
  targets_.emplace(id, std::make_unique<TNoticeReceiver>(target));
  return id;
}

void TQtUiLoop::RemoveTarget(TargetId id) {
  std::unique_ptr<QObject> receiver;
  {
    std::lock_guard guard(targetsLock_);
    auto found = targets_.find(id);
    if (found == targets_.end()) {
      return;
    }
    receiver = std::move(found->second);
    targets_.erase(found);
  }
  DisposeReceiver(std::move(receiver));
}

bool TQtUiLoop::Post(TargetId target, TNotice&& notice) {
  std::lock_guard guard(targetsLock_);
  auto found = targets_.find(target);
  if (found == targets_.end()) {
    return false;
  }
  if (pending_->fetch_add(1) >= maxPending_) {
    --*pending_;
    return false;
  }
  QCoreApplication::postEvent(found->second.get(), new TNoticeEvent(std::move(notice), pending_));
  return true;
}

void TQtUiLoop::WaitPumping(std::uint32_t milliseconds) {
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
