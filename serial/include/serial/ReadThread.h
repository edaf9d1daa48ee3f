#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "serial/CommBackend.h"
#include "serial/UiLoop.h"

namespace korvane {

// Receives for an open port: keeps a read and a comm-event wait pending,
// posts each chunk as MSG_RX_DATA, line errors as MSG_RX_ERROR, carrier and
// ring changes as MSG_MODEM and its own failures as MSG_HANGUP. It never calls
// the component: everything reaches it as notices.
class TReadThread {
 public:
  TReadThread(ICommBackend& backend, ICommPort& port, ICommEvent& stop, TUiLoop& loop,
              TUiLoop::TargetId target, std::uint16_t bufferSize, std::uint16_t readLength);
  ~TReadThread();
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  // Throws std::system_error when the thread cannot be created.
  void Start();
  // Waits until the thread has ended (the stop event must be set first).
  void Join();

 private:
  void Execute();
  [[nodiscard]] bool ArmRead();
  [[nodiscard]] bool FinishRead();
  [[nodiscard]] bool DeliverChunk(const char* data, std::uint32_t count);
  [[nodiscard]] bool ArmEventWait();
  [[nodiscard]] bool HandleCommEvent(bool collect);
  [[nodiscard]] bool Post(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam,
                          std::unique_ptr<char[]> block = nullptr);
  void PostHangup();
  // Hangup unless the port handle has become invalid, which ends silently.
  void ReportFailure(TIoStatus status);

  ICommBackend& backend_;
  ICommPort& port_;
  ICommEvent& stop_;
  TUiLoop& loop_;
  TUiLoop::TargetId target_;
  std::uint16_t bufferSize_;
  std::uint16_t readLength_;
  std::vector<char> buffer_;
  std::uint32_t eventMask_ = 0;
  std::thread thread_;
};

}  // namespace korvane
