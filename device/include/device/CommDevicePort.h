#pragma once

#include "device/DeviceSeams.h"
#include "serial/Comm.h"

namespace korvane {

// The device operations' view of a serial port component.
class TCommDevicePort : public IDevicePort {
 public:
  explicit TCommDevicePort(TComm& comm) : comm_(comm) {}

  bool PortOpen() const override { return comm_.PortOpen(); }
  void SetOutput(const std::string& bytes) override { comm_.SetOutput(bytes); }
  bool SendData(const char* buffer, std::uint16_t length) override {
    return comm_.SendData(buffer, length);
  }

 private:
  TComm& comm_;
};

}  // namespace korvane
