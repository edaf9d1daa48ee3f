#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "serial/CommBackend.h"
#include "serial/UiLoop.h"

namespace korvane {

// Sends for an open port. Requests wait in the backend's first-in, first-out
// queue, which any thread can post to without blocking; the writer takes them
// one at a time, writes each completely, keeps the component's idle flag up to
// date and announces a drained queue with MSG_TX_EMPTY. Failures post MSG_HANGUP.
class TWriteThread {
 public:
  TWriteThread(ICommBackend& backend, ICommPort& port, ICommEvent& stop, TUiLoop& loop,
               TUiLoop::TargetId target, std::atomic<bool>& sendIdle);
  ~TWriteThread();
  TWriteThread(const TWriteThread&) = delete;
  TWriteThread& operator=(const TWriteThread&) = delete;

  // Throws std::system_error when the thread cannot be created.
  void Start();
  // Waits until the thread has ended (the stop event must be set first).
  void Join();

  // Any thread. Queues `length` bytes of `block`, which then belongs to the
  // writer, and clears the idle flag. False (the block released, the flag
  // untouched) when the queue is full or the writer has ended. The queue
  // accepts requests from construction on.
  [[nodiscard]] bool Post(std::unique_ptr<char[]> block, std::uint16_t length);

 private:
  void Execute();
  // Takes the next request, or waits for one; false when the writer must end.
  [[nodiscard]] bool NextRequest(TWriteRequest& request, bool& announce);
  [[nodiscard]] bool WriteBlock(const char* data, std::uint32_t count);
  void PostHangup();

  ICommBackend& backend_;
  ICommPort& port_;
  ICommEvent& stop_;
  TUiLoop& loop_;
  TUiLoop::TargetId target_;
  std::unique_ptr<IWriteQueue> queue_;  // keeps the component's idle flag
  std::thread thread_;
};

}  // namespace korvane
