#pragma once

#include <memory>
#include <string>

#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {

// A pseudo-terminal pair: the simulator plays the device on the master side;
// clients open the slave like a serial port. The slave is kept open here as
// well, so a client closing the port never hangs up the master, and it is in
// raw mode at 9600 baud so the line discipline passes bytes through unchanged.
class TPtyDevice {
 public:
  // A new pair, or why none could be set up.
  [[nodiscard]] static TResult<std::unique_ptr<TPtyDevice>> Open();

  int MasterFd() const { return master_.Get(); }
  const std::string& SlavePath() const { return slavePath_; }
  // Closes both sides: clients see the line hang up.
  void Close();

 private:
  TPtyDevice() = default;

  UniqueFd master_;
  UniqueFd slave_;
  std::string slavePath_;
};

}  // namespace korvane
