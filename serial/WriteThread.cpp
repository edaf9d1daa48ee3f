#include "serial/WriteThread.h"

#include <algorithm>

namespace korvane {

TWriteThread::TWriteThread(ICommBackend& backend, ICommPort& port, ICommEvent& stop, TUiLoop& loop,
                           TUiLoop::TargetId target, std::atomic<bool>& sendIdle)
    : backend_(backend),
      port_(port),
      stop_(stop),
      loop_(loop),
      target_(target),
      sendIdle_(sendIdle),
      wake_(backend.CreateEvent()) {}

TWriteThread::~TWriteThread() {
  Join();
}

void TWriteThread::Start() {
  thread_ = backend_.StartThread([this] { Execute(); }, TThreadPriority::AboveNormal);
}

void TWriteThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

bool TWriteThread::Post(std::unique_ptr<char[]> block, std::uint16_t length) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !wake_ || queue_.size() >= kQueueLimit) {
      return false;
    }
    queue_.push_back({std::move(block), length});
    sendIdle_ = false;  // under the lock, so the writer cannot have seen the queue empty after it
  }
  wake_->Set();
  return true;
}

void TWriteThread::Execute() {
  if (!wake_) {
    PostHangup();
  } else {
    bool announce = true;
    TRequest request;
    while (NextRequest(request, announce)) {
      if (!WriteBlock(request.Block.get(), request.Length)) {
        break;
      }
      announce = true;
      request = {};
    }
  }
  port_.Purge(PURGE_TXABORT | PURGE_TXCLEAR);
  CloseQueue();
}

bool TWriteThread::NextRequest(TRequest& request, bool& announce) {
  for (;;) {
    // Reset before looking, so that a request posted meanwhile sets it again.
    wake_->Reset();
    bool taken = false;
    {
      std::lock_guard lock(mutex_);
      if (!queue_.empty()) {
        request = std::move(queue_.front());
        queue_.pop_front();
        taken = true;
      } else {
        sendIdle_ = true;
      }
    }
    if (taken) {
      return !stop_.IsSet();  // a request taken after the stop is not written
    }
    if (announce) {
      if (!loop_.Post(target_, TNotice{MSG_TX_EMPTY, 0, 0, nullptr})) {
        PostHangup();
        return false;
      }
      announce = false;
    }
    const int woken = backend_.WaitEither(stop_, *wake_);
    if (woken != 1) {
      if (woken != 0) {
        PostHangup();
      }
      return false;
    }
  }
}

bool TWriteThread::WriteBlock(const char* data, std::uint32_t count) {
  std::uint32_t offset = 0;
  while (offset < count) {
    std::uint32_t written = 0;
    TIoStatus status = port_.StartWrite(data + offset, count - offset, written);
    if (status == TIoStatus::Pending) {
      const TWriterWake wake = port_.WaitWrite(stop_);
      if (wake == TWriterWake::Stop) {
        return false;
      }
      status = wake == TWriterWake::WriteDone ? port_.FinishWrite(written) : TIoStatus::Failed;
    }
    if (status != TIoStatus::Done) {
      if (status != TIoStatus::InvalidHandle) {
        PostHangup();
      }
      return false;
    }
    offset += std::min(written, count - offset);
  }
  return true;
}

void TWriteThread::PostHangup() {
  loop_.Post(target_, TNotice{MSG_HANGUP, 0, 0, nullptr});
}

void TWriteThread::CloseQueue() {
  std::deque<TRequest> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(queue_);
    sendIdle_ = true;
  }
}

}  // namespace korvane
