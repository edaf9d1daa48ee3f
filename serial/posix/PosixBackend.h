#pragma once

#include <atomic>
#include <cstdint>

#include "serial/CommBackend.h"

namespace korvane {

// Manual-reset event on an eventfd, so that poll() waits can include it.
class TPosixEvent final : public ICommEvent {
 public:
  // Check Valid() afterwards: creating the eventfd can fail.
  TPosixEvent();
  ~TPosixEvent() override;
  TPosixEvent(const TPosixEvent&) = delete;
  TPosixEvent& operator=(const TPosixEvent&) = delete;

  bool Valid() const { return fd_ >= 0; }
  void Set() override;
  void Reset() override;
  bool IsSet() const override { return set_; }
  std::intptr_t NativeHandle() const override { return fd_; }

 private:
  int fd_;
  std::atomic<bool> set_{false};
};

class TPosixBackend : public ICommBackend {
 public:
  std::unique_ptr<ICommPort> Open(const std::string& commName, TOpenStatus& status) override;
  std::unique_ptr<ICommEvent> MakeEvent() override;
  int WaitEither(ICommEvent& first, ICommEvent& second) override;
  std::thread StartThread(std::function<void()> body, TThreadPriority priority) override;
};

}  // namespace korvane
