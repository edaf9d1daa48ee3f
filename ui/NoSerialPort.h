#pragma once

#include "ui/UiSeams.h"

namespace korvane {

// Stands in for the serial component until one is plugged in: every open
// fails, so the window reports the port as unavailable.
class TNoSerialPort : public ISerialPort {
 public:
  bool PortOpen() const override { return false; }
  void SetOutput(const std::string&) override {}
  bool SendData(const char*, std::uint16_t) override { return false; }
  void SetCommName(const std::string&) override {}
  void OpenPort() override {}
  void ClosePort() override {}
  void SetReceiveHandler(ReceiveHandler) override {}
};

}  // namespace korvane
