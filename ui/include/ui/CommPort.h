#pragma once

#include "serial/Comm.h"
#include "ui/UiSeams.h"

namespace korvane {

// The main window's Comm1: the serial component with the window's settings.
class TCommPort : public ISerialPort {
 public:
  explicit TCommPort(TUiLoop& loop);

  bool PortOpen() const override { return comm_.PortOpen(); }
  void SetOutput(const std::string& bytes) override { comm_.SetOutput(bytes); }
  bool SendData(const char* buffer, std::uint16_t length) override {
    return comm_.SendData(buffer, length);
  }
  void SetCommName(const std::string& name) override { comm_.SetCommName(name); }
  void OpenPort() override { comm_.OpenPort(); }
  void ClosePort() override { comm_.ClosePort(); }
  void SetReceiveHandler(ReceiveHandler handler) override { receive_ = std::move(handler); }

  TComm& Comm() { return comm_; }

 private:
  TComm comm_;
  ReceiveHandler receive_;
};

}  // namespace korvane
