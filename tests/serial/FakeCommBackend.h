#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "serial/posix/PosixBackend.h"

namespace korvane::test {

// A port whose input and write outcomes the test scripts. Waits are real
// (poll on the stop event and on a wake-up event of its own).
class TFakePort final : public ICommPort {
 public:
  // What the test can see and script; shared with the backend that made the port.
  struct TScript {
    std::mutex Mutex;
    std::deque<std::string> Chunks;          // input, one read each
    std::deque<std::uint32_t> Events;        // comm-event masks, or kWaitEndedByMaskChange
    std::uint32_t ErrorWord = 0;             // returned by ClearError
    std::vector<std::uint32_t> WriteLimits;  // bytes accepted per write, in turn
    bool RefuseWrites = false;
    bool RefuseState = false;  // ApplyState reports a refusal
    std::string Written;
    std::vector<std::uint32_t> WriteSizes;
    std::vector<TLineSettings> States;
    std::vector<TCommTimeouts> Timeouts;
    std::vector<std::uint32_t> Purges;
    TPosixEvent Wake;  // set when input or events are added
  };

  // A scripted event that ends the pending wait the way a change of the
  // watched events does on some systems: no event, and the wait is to be restarted.
  static constexpr std::uint32_t kWaitEndedByMaskChange = 0xFFFFFFFF;

  explicit TFakePort(TScript& script) : script_(script) {}

  TStatus SetupQueues(std::uint32_t, std::uint32_t) override { return {}; }
  TStatus Purge(std::uint32_t flags) override;
  TStatus ApplyState(const TLineSettings& settings) override;
  TStatus ApplyTimeouts(const TCommTimeouts& timeouts) override;

  TStatus SetCommMask(std::uint32_t) override { return {}; }
  TIoStatus StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishRead(std::uint32_t& count) override;
  TIoStatus StartEventWait(std::uint32_t& mask) override;
  TIoStatus FinishEventWait(std::uint32_t& mask) override;
  TIoStatus ClearError(std::uint32_t& errors) override;
  TReaderWake WaitReader(ICommEvent& stop) override;

  TIoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishWrite(std::uint32_t&) override { return TIoStatus::Failed; }
  TWriterWake WaitWrite(ICommEvent&) override { return TWriterWake::Failed; }

 private:
  bool TakeChunk(std::uint32_t& count);

  TScript& script_;
  char* readBuffer_ = nullptr;
  std::uint32_t readLength_ = 0;
};

// Adds feeds and failures to the POSIX backend's events and threads.
class TFakeBackend final : public TPosixBackend {
 public:
  std::error_code OpenError;  // none: the port opens
  bool FailQueueSetup = false;
  int FailEventNumber = 0;   // 1 = the first event created fails; 0 = none
  int FailThreadNumber = 0;  // 1 = the first thread fails; 0 = none
  TFakePort::TScript Script;

  TResult<std::unique_ptr<ICommPort>> Open(const std::string& commName) override;
  TResult<std::unique_ptr<ICommEvent>> MakeEvent() override;
  std::thread StartThread(std::function<void()> body, TThreadPriority priority) override;

  void AddChunk(std::string bytes);
  void AddEvent(std::uint32_t mask, std::uint32_t errorWord = 0);

 private:
  int events_ = 0;
  int threads_ = 0;
};

}  // namespace korvane::test
