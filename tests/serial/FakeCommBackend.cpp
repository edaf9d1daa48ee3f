#include "FakeCommBackend.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace korvane::test {

namespace {

TError Refused() {
  return {std::make_error_code(std::errc::io_error), "refused by the test"};
}

class TQueueFailingPort final : public ICommPort {
 public:
  TStatus SetupQueues(std::uint32_t, std::uint32_t) override { return Refused(); }
  TStatus Purge(std::uint32_t) override { return {}; }
  TStatus ApplyState(const TLineSettings&) override { return {}; }
  TStatus ApplyTimeouts(const TCommTimeouts&) override { return {}; }
  TStatus SetCommMask(std::uint32_t) override { return Refused(); }
  TIoStatus StartRead(char*, std::uint32_t, std::uint32_t&) override { return TIoStatus::Failed; }
  TIoStatus FinishRead(std::uint32_t&) override { return TIoStatus::Failed; }
  TIoStatus StartEventWait(std::uint32_t&) override { return TIoStatus::Failed; }
  TIoStatus FinishEventWait(std::uint32_t&) override { return TIoStatus::Failed; }
  TIoStatus ClearError(std::uint32_t&) override { return TIoStatus::Failed; }
  TReaderWake WaitReader(ICommEvent&) override { return TReaderWake::Failed; }
  TIoStatus StartWrite(const char*, std::uint32_t, std::uint32_t&) override {
    return TIoStatus::Failed;
  }
  TIoStatus FinishWrite(std::uint32_t&) override { return TIoStatus::Failed; }
  TWriterWake WaitWrite(ICommEvent&) override { return TWriterWake::Failed; }
};

}  // namespace

TStatus TFakePort::Purge(std::uint32_t flags) {
  std::lock_guard lock(script_.Mutex);
  script_.Purges.push_back(flags);
  return {};
}

TStatus TFakePort::ApplyState(const TLineSettings& settings) {
  std::lock_guard lock(script_.Mutex);
  script_.States.push_back(settings);
  return script_.RefuseState ? Refused() : TStatus();
}

TStatus TFakePort::ApplyTimeouts(const TCommTimeouts& timeouts) {
  std::lock_guard lock(script_.Mutex);
  script_.Timeouts.push_back(timeouts);
  return {};
}

bool TFakePort::TakeChunk(std::uint32_t& count) {
  std::lock_guard lock(script_.Mutex);
  if (script_.Chunks.empty()) {
    return false;
  }
  std::string& chunk = script_.Chunks.front();
  count = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), readLength_));
  std::memcpy(readBuffer_, chunk.data(), count);
  chunk.erase(0, count);
  if (chunk.empty()) {
    script_.Chunks.pop_front();
  }
  return true;
}

TIoStatus TFakePort::StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) {
  readBuffer_ = buffer;
  readLength_ = length;
  return TakeChunk(count) ? TIoStatus::Done : TIoStatus::Pending;
}

TIoStatus TFakePort::FinishRead(std::uint32_t& count) {
  return TakeChunk(count) ? TIoStatus::Done : TIoStatus::Failed;
}

TIoStatus TFakePort::StartEventWait(std::uint32_t& mask) {
  std::lock_guard lock(script_.Mutex);
  if (script_.Events.empty()) {
    return TIoStatus::Pending;
  }
  mask = script_.Events.front();
  script_.Events.pop_front();
  return TIoStatus::Done;
}

TIoStatus TFakePort::FinishEventWait(std::uint32_t& mask) {
  if (StartEventWait(mask) != TIoStatus::Done) {
    return TIoStatus::Failed;
  }
  return mask == kWaitEndedByMaskChange ? TIoStatus::Restart : TIoStatus::Done;
}

TIoStatus TFakePort::ClearError(std::uint32_t& errors) {
  std::lock_guard lock(script_.Mutex);
  errors = script_.ErrorWord;
  script_.ErrorWord = 0;
  return TIoStatus::Done;
}

TReaderWake TFakePort::WaitReader(ICommEvent& stop) {
  for (;;) {
    script_.Wake.Reset();
    {
      std::lock_guard lock(script_.Mutex);
      if (stop.IsSet()) {
        return TReaderWake::Stop;
      }
      if (!script_.Events.empty()) {
        return TReaderWake::CommEvent;
      }
      if (!script_.Chunks.empty()) {
        return TReaderWake::ReadDone;
      }
    }
    pollfd fds[2] = {{static_cast<int>(stop.NativeHandle()), POLLIN, 0},
                     {static_cast<int>(script_.Wake.NativeHandle()), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
      return TReaderWake::Failed;
    }
  }
}

TIoStatus TFakePort::StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) {
  std::lock_guard lock(script_.Mutex);
  if (script_.RefuseWrites) {
    return TIoStatus::Failed;
  }
  count = length;
  const std::size_t turn = script_.WriteSizes.size();
  if (turn < script_.WriteLimits.size()) {
    count = std::min(length, script_.WriteLimits[turn]);
  }
  script_.WriteSizes.push_back(count);
  script_.Written.append(data, count);
  return TIoStatus::Done;
}

TResult<std::unique_ptr<ICommPort>> TFakeBackend::Open(const std::string&) {
  if (OpenError) {
    return TError{OpenError, "refused by the test"};
  }
  if (FailQueueSetup) {
    return std::unique_ptr<ICommPort>(std::make_unique<TQueueFailingPort>());
  }
  return std::unique_ptr<ICommPort>(std::make_unique<TFakePort>(Script));
}

TResult<std::unique_ptr<ICommEvent>> TFakeBackend::MakeEvent() {
  if (++events_ == FailEventNumber) {
    return Refused();
  }
  return TPosixBackend::MakeEvent();
}

std::thread TFakeBackend::StartThread(std::function<void()> body, TThreadPriority priority) {
  if (++threads_ == FailThreadNumber) {
    throw std::system_error(EAGAIN, std::generic_category(), "no thread");
  }
  return TPosixBackend::StartThread(std::move(body), priority);
}

void TFakeBackend::AddChunk(std::string bytes) {
  {
    std::lock_guard lock(Script.Mutex);
    Script.Chunks.push_back(std::move(bytes));
  }
  Script.Wake.Set();
}

void TFakeBackend::AddEvent(std::uint32_t mask, std::uint32_t errorWord) {
  {
    std::lock_guard lock(Script.Mutex);
    Script.Events.push_back(mask);
    Script.ErrorWord |= errorWord;
  }
  Script.Wake.Set();
}

}  // namespace korvane::test
