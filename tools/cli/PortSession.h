#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "cli/PortSelection.h"
#include "cli/Progress.h"
#include "device/CommDevicePort.h"
#include "device/DeviceOperations.h"
#include "platform/Result.h"
#include "serial/Comm.h"
#include "serial/PlatformLoop.h"

namespace korvane::cli {

// One open port with everything a device operation needs, on the calling
// thread. Each wait ends with a redraw of the port's progress row and, when
// asked, a trace of what crossed the line; an interrupt or a lost line ends
// the operation there.
class TPortSession : private IDevicePort {
 public:
  // `trace` receives protocol trace lines; empty for none.
  TPortSession(const PortTarget& target, std::string imagePath, TPortOperator& oper,
               std::function<void(const std::string&)> trace);
  ~TPortSession() override;
  TPortSession(const TPortSession&) = delete;
  TPortSession& operator=(const TPortSession&) = delete;

  // Opens the port; a failure says why (TextId::kCliPortOpenFailed).
  [[nodiscard]] TStatus Open();

  DeviceContext& Context() { return context_; }
  // True when the reader or writer reported that the line went away.
  bool LineLost() const { return lineLost_; }
  // Image blocks handed to the line so far, resends included.
  int BlocksSent() const { return blocksSent_; }

 private:
  bool PortOpen() const override { return comm_.PortOpen(); }
  void SetOutput(const std::string& bytes) override;
  bool SendData(const char* buffer, std::uint16_t length) override;
  bool AfterWait();
  bool ReplyComplete();
  void Trace(const std::string& text);

  PortTarget target_;
  TPortOperator& operator_;
  std::function<void(const std::string&)> trace_;
  TPlatformLoop loop_;
  TComm comm_{loop_};
  TCommDevicePort port_{comm_};
  TResponseLog log_;
  DeviceContext context_;
  bool lineLost_ = false;
  int blocksSent_ = 0;
  std::string received_;  // bytes received since the last trace line
  std::chrono::steady_clock::time_point lastReceived_;
  std::chrono::steady_clock::time_point lastEvent_ = std::chrono::steady_clock::now();
};

}  // namespace korvane::cli
