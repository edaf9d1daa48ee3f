#include "serial/ReadThread.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {
constexpr std::uint32_t kWatchedEvents = CommEvent::Carrier | CommEvent::Error | CommEvent::Ring;
}

TReadThread::TReadThread(ICommBackend& backend, ICommPort& port, ICommEvent& stop, TUiLoop& loop,
                         TUiLoop::TargetId target, std::uint16_t bufferSize,
                         std::uint16_t readLength)
    : backend_(backend),
      port_(port),
      stop_(stop),
      loop_(loop),
      target_(target),
      bufferSize_(std::max<std::uint16_t>(bufferSize, 1)),
      // A read never asks for more than the buffer holds.
      readLength_(std::clamp<std::uint16_t>(readLength, 1, bufferSize_)) {}

TReadThread::~TReadThread() {
  Join();
}

void TReadThread::Start() {
  thread_ = backend_.StartThread([this] { Execute(); }, TThreadPriority::Highest);
}

void TReadThread::Join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void TReadThread::Execute() {
  buffer_.assign(bufferSize_, 0);
  if (!port_.SetCommMask(kWatchedEvents).Ok()) {
    PostHangup();
  } else if (ArmEventWait() && ArmRead()) {
    for (bool running = true; running;) {
      switch (port_.WaitReader(stop_)) {
        case TReaderWake::Stop:
          running = false;
          break;
        case TReaderWake::CommEvent:
          running = HandleCommEvent(true) && ArmEventWait();
          break;
        case TReaderWake::ReadDone:
          running = FinishRead() && ArmRead();
          break;
        case TReaderWake::Failed:
          PostHangup();
          running = false;
          break;
      }
    }
  }
  Discard(port_.Purge(Purge::RxAbort | Purge::RxClear));  // the reader ends either way
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool TReadThread::ArmRead() {
  while (!stop_.IsSet()) {
    std::uint32_t count = 0;
    const TIoStatus status = port_.StartRead(buffer_.data(), readLength_, count);
    if (status == TIoStatus::Pending) {
      return true;
    }
    if (status != TIoStatus::Done) {
      ReportFailure(status);
      return false;
    }
    if (!DeliverChunk(buffer_.data(), count)) {
      return false;
    }
  }
  return false;
}

bool TReadThread::FinishRead() {
  std::uint32_t count = 0;
  const TIoStatus status = port_.FinishRead(count);
  if (status != TIoStatus::Done) {
    ReportFailure(status);
    return false;
  }
  return DeliverChunk(buffer_.data(), count);
}

bool TReadThread::DeliverChunk(const char* data, std::uint32_t count) {
  if (count == 0) {
    return true;  // a read that ended on a total timeout: simply read again
  }
  count = std::min<std::uint32_t>(count, readLength_);
  std::unique_ptr<char[]> block(new (std::nothrow) char[count + 1]);
  if (!block) {
    PostHangup();
    return false;
  }
  std::memcpy(block.get(), data, count);
  block[count] = 0;
  return Post(MSG_RX_DATA, count, 0, std::move(block));
}

bool TReadThread::ArmEventWait() {
  while (!stop_.IsSet()) {
    eventMask_ = 0;
    const TIoStatus status = port_.StartEventWait(eventMask_);
    if (status == TIoStatus::Pending) {
      return true;
    }
    if (status != TIoStatus::Done) {
      ReportFailure(status);
      return false;
    }
    if (!HandleCommEvent(false)) {
      return false;
    }
  }
  return false;
}

bool TReadThread::HandleCommEvent(bool collect) {
  if (collect) {
    const TIoStatus status = port_.FinishEventWait(eventMask_);
    if (status == TIoStatus::Restart) {
      return true;  // nothing happened; the caller starts the next wait
    }
    if (status != TIoStatus::Done) {
      ReportFailure(status);
      return false;
    }
  }
  bool result = false;
  if ((eventMask_ & CommEvent::Error) != 0) {
    std::uint32_t errors = 0;
    const TIoStatus status = port_.ClearError(errors);
    if (status != TIoStatus::Done) {
      ReportFailure(status);
      return false;
    }
    if (!Post(MSG_RX_ERROR, 0, errors)) {
      return false;
    }
    result = true;
  }
  const std::uint32_t modem = ((eventMask_ & CommEvent::Carrier) != 0 ? MODEM_RLSD : 0) |
                              ((eventMask_ & CommEvent::Ring) != 0 ? MODEM_RING : 0);
  if (modem != 0) {
    if (!Post(MSG_MODEM, 0, modem)) {
      return false;
    }
    result = true;
  }
  if ((eventMask_ & kWatchedEvents) == 0) {
    PostHangup();
  }
  return result;
}

bool TReadThread::Post(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam,
                       std::unique_ptr<char[]> block) {
  TNotice notice{msg, wParam, lParam, std::move(block)};
  if (loop_.Post(target_, std::move(notice))) {
    return true;
  }
  PostHangup();
  return false;
}

void TReadThread::PostHangup() {
  loop_.Post(target_, TNotice{MSG_HANGUP, 0, 0, nullptr});
}

void TReadThread::ReportFailure(TIoStatus status) {
  if (status != TIoStatus::InvalidHandle) {
    PostHangup();
  }
}

}  // namespace korvane
