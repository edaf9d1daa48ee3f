#include "serial/CommBackend.h"
#include "serial/WriteQueue.h"

namespace korvane {

std::unique_ptr<IWriteQueue> ICommBackend::CreateWriteQueue(std::atomic<bool>& idle) {
  return std::make_unique<TEventWriteQueue>(*this, idle);
}

TEventWriteQueue::TEventWriteQueue(ICommBackend& backend, std::atomic<bool>& idle)
    : backend_(backend), idle_(idle) {
  // Without the event the queue stays unusable, which Attach reports.
  if (TResult<std::unique_ptr<ICommEvent>> wake = backend.MakeEvent()) {
    wake_ = std::move(wake).Value();
  }
}

TEventWriteQueue::~TEventWriteQueue() = default;

bool TEventWriteQueue::Attach() {
  return wake_ != nullptr;
}

bool TEventWriteQueue::Post(TWriteRequest& request) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !wake_ || queue_.size() >= kLimit) {
      return false;
    }
    queue_.push_back(std::move(request));
    idle_ = false;
  }
  wake_->Set();
  return true;
}

bool TEventWriteQueue::Take(TWriteRequest& request) {
  // Reset before looking, so that a request posted meanwhile sets it again.
  wake_->Reset();
  std::lock_guard lock(mutex_);
  if (queue_.empty()) {
    idle_ = true;
    return false;
  }
  request = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

TResult<TQueueWake> TEventWriteQueue::Wait(ICommEvent& stop) {
  const TResult<int> woken = backend_.WaitEither(stop, *wake_);
  if (!woken) {
    return woken.Error();
  }
  return woken.Value() == 0 ? TQueueWake::Stop : TQueueWake::Posted;
}

void TEventWriteQueue::Close() {
  std::deque<TWriteRequest> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  closed_ = true;
  dropped.swap(queue_);
  idle_ = true;
}

}  // namespace korvane
