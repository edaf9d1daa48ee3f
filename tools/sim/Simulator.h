#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Result.h"
#include "sim/DeviceModel.h"
#include "sim/PtyDevice.h"
#include "sim/SimOptions.h"

namespace korvane {

// Runs the device model on the master side of a pseudo-terminal: paces input
// and output like a 9600-baud line (10 bits a byte), delays replies, hangs up
// on request, saves new images and logs the exchanges.
class TSimulator {
 public:
  using Clock = std::chrono::steady_clock;

  TSimulator(const SimOptions& options, TPtyDevice& pty, TDeviceModel model, std::ostream& log);

  // Plays the device until `signalFd` (a signalfd) becomes readable or the
  // line is hung up by --drop-after; fails when the line cannot be served.
  [[nodiscard]] TStatus Run(int signalFd);

 private:
  struct Pending {
    Transmission What;
    Clock::time_point ReleaseAt;
    std::optional<Clock::time_point> LineStart;
    std::size_t Done = 0;  // bytes whose line time has come
    std::size_t Lost = 0;  // of those, bytes the other side had no room for
  };

  void LogStopSignal(int signalFd);
  TResult<bool> ReadInput(Clock::time_point now);
  bool InputWaiting() const;
  void Queue(Transmission transmission, Clock::time_point releaseAt);
  std::size_t InputBudget(Clock::time_point now, Clock::time_point& base) const;
  TStatus WriteDueOutput(Clock::time_point now);
  std::size_t DueBytes(const Pending& pending, Clock::time_point now) const;
  std::optional<Clock::time_point> NextWake() const;
  void SaveImage(const std::string& image);
  void Log(const char* direction, std::size_t length, const std::string& meaning);

  const SimOptions& options_;
  TPtyDevice& pty_;
  TDeviceModel model_;
  std::ostream& log_;
  std::deque<Pending> output_;
  std::size_t queued_ = 0;  // bytes in output_
  Clock::time_point outputLineFreeAt_{};
  Clock::time_point inputLineFreeAt_{};
  Clock::time_point inputArmAt_{};
  // The last paced read left bytes waiting: the line has been busy since.
  bool inputBacklog_ = false;
  std::uint64_t received_ = 0;
};

}  // namespace korvane
