#pragma once

#include <atomic>
#include <cstdint>

#include "platform/UniqueHandle.h"
#include "serial/CommBackend.h"

namespace korvane {

// Manual-reset event on a descriptor, so that poll() waits can include it
// (Linux: an eventfd).
class TPosixEvent final : public ICommEvent {
 public:
  // Check Valid() afterwards: creating the descriptor can fail (errno says why).
  TPosixEvent();

  bool Valid() const { return fd_.Valid(); }
  void Set() override;
  void Reset() override;
  bool IsSet() const override { return set_; }
  std::intptr_t NativeHandle() const override { return fd_.Get(); }

 private:
  UniqueFd fd_;
  std::atomic<bool> set_{false};
};

// Raises the calling thread a little above its peers where the system lets
// it; a refusal is ignored.
void RaiseThreadPriority(TThreadPriority priority);

class TPosixBackend : public ICommBackend {
 public:
  TResult<std::unique_ptr<ICommPort>> Open(const std::string& commName) override;
  TResult<std::unique_ptr<ICommEvent>> MakeEvent() override;
  TResult<int> WaitEither(ICommEvent& first, ICommEvent& second) override;
  std::thread StartThread(std::function<void()> body, TThreadPriority priority) override;
};

}  // namespace korvane
