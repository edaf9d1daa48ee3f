#pragma once

#include <string>

namespace korvane {

// A pseudo-terminal pair: the simulator plays the device on the master side;
// clients open the slave like a serial port. The slave is kept open here as
// well, so a client closing the port never hangs up the master, and it is in
// raw mode at 9600 baud so the line discipline passes bytes through unchanged.
class TPtyDevice {
 public:
  // Throws std::runtime_error when no pseudo-terminal can be set up.
  TPtyDevice();
  ~TPtyDevice();
  TPtyDevice(const TPtyDevice&) = delete;
  TPtyDevice& operator=(const TPtyDevice&) = delete;

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  // Closes both sides: clients see the line hang up.
  void Close();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace korvane
