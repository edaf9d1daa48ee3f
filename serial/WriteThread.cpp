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
      queue_(backend.CreateWriteQueue(sendIdle)) {}

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
  TWriteRequest request{std::move(block), length};
  return queue_->Post(request);
}

void TWriteThread::Execute() {
  if (!queue_->Attach()) {
    PostHangup();
  } else {
    bool announce = true;
    TWriteRequest request;
    while (NextRequest(request, announce)) {
      if (!WriteBlock(request.Block.get(), request.Length)) {
        break;
      }
      announce = true;
      request = {};
    }
  }
  Discard(port_.Purge(Purge::TxAbort | Purge::TxClear));  // the writer ends either way
  queue_->Close();
}

bool TWriteThread::NextRequest(TWriteRequest& request, bool& announce) {
  for (;;) {
    if (queue_->Take(request)) {
      return !stop_.IsSet();  // a request taken after the stop is not written
    }
    if (announce) {
      if (!loop_.Post(target_, TNotice{MSG_TX_EMPTY, 0, 0, nullptr})) {
        PostHangup();
        return false;
      }
      announce = false;
    }
    const TResult<TQueueWake> woken = queue_->Wait(stop_);
    if (!woken) {
      PostHangup();
      return false;
    }
    if (woken.Value() == TQueueWake::Stop) {
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

}  // namespace korvane
