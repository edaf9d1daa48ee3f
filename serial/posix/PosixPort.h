#pragma once

#include <termios.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "LineCounters.h"
#include "platform/UniqueHandle.h"
#include "serial/CommBackend.h"

namespace korvane {

// A terminal device driven with termios and poll. Reads follow the timeouts:
// the first byte without limit (unless a total timeout is set), then the read
// ends at its length or when the interval passes without a further byte.
// Line errors and carrier/ring changes come from the driver's interrupt
// counters (TIOCGICOUNT) where it keeps them; a pseudo-terminal keeps none.
class TPosixPort final : public ICommPort {
 public:
  explicit TPosixPort(UniqueFd fd);
  ~TPosixPort() override;
  TPosixPort(const TPosixPort&) = delete;
  TPosixPort& operator=(const TPosixPort&) = delete;

  TStatus SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize) override;
  TStatus Purge(std::uint32_t flags) override;
  TStatus ApplyState(const TLineSettings& settings) override;
  TStatus ApplyTimeouts(const TCommTimeouts& timeouts) override;

  TStatus SetCommMask(std::uint32_t mask) override;
  TIoStatus StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishRead(std::uint32_t& count) override;
  TIoStatus StartEventWait(std::uint32_t& mask) override;
  TIoStatus FinishEventWait(std::uint32_t& mask) override;
  TIoStatus ClearError(std::uint32_t& errors) override;
  TReaderWake WaitReader(ICommEvent& stop) override;

  TIoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishWrite(std::uint32_t& count) override;
  TWriterWake WaitWrite(ICommEvent& stop) override;

 private:
  using Clock = std::chrono::steady_clock;

  struct TPendingRead {
    char* Buffer = nullptr;
    std::uint32_t Length = 0;
    std::uint32_t Count = 0;
    Clock::time_point Started;
    Clock::time_point LastByte;
    TIoStatus Status = TIoStatus::Done;
  };

  static void FillTermios(const TLineSettings& settings, termios& tio);
  void SetModemLines(std::uint32_t flags);
  // Reads what has arrived into the pending read; true when it has ended.
  [[nodiscard]] bool ReadMore(bool hangup);
  std::optional<Clock::time_point> ReadDeadline() const;
  [[nodiscard]] int PollTimeout(Clock::time_point now) const;
  // Turns counter changes into a completed comm-event wait; true if one completed.
  [[nodiscard]] bool CheckCounters();

  const UniqueFd fd_;
  std::atomic<std::uint32_t> readInterval_{0};
  std::atomic<std::uint32_t> readMultiplier_{0};
  std::atomic<std::uint32_t> readConstant_{0};

  // Reader thread only. Reads take what the driver holds in one call; the
  // bytes beyond the pending read's length wait here for the next reads.
  // While a read is pending this is empty.
  std::array<char, 4096> ahead_{};
  std::size_t aheadBegin_ = 0;
  std::size_t aheadEnd_ = 0;
  std::optional<TPendingRead> read_;
  bool eventPending_ = false;
  std::uint32_t commMask_ = 0;
  std::uint32_t completedMask_ = 0;
  std::uint32_t lineErrors_ = 0;
  bool countersKept_ = false;
  TLineCounters counters_;

  // Writer thread only.
  const char* writeData_ = nullptr;
  std::uint32_t writeLength_ = 0;
  bool writeHangup_ = false;
};

}  // namespace korvane
