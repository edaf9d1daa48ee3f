#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/UniqueHandle.h"
#include "serial/CommBackend.h"

namespace korvane {

// Manual-reset event on a Windows event object.
class TWin32Event final : public ICommEvent {
 public:
  [[nodiscard]] static TResult<std::unique_ptr<TWin32Event>> Create();

  void Set() override;
  void Reset() override;
  bool IsSet() const override;
  std::intptr_t NativeHandle() const override {
    return reinterpret_cast<std::intptr_t>(handle_.Get());
  }

 private:
  explicit TWin32Event(UniqueHandle handle) : handle_(std::move(handle)) {}
  UniqueHandle handle_;
};

// Overlapped I/O on the Windows serial API; the writer's queue is the writer
// thread's message queue.
class TWin32Backend final : public ICommBackend {
 public:
  TResult<std::unique_ptr<ICommPort>> Open(const std::string& commName) override;
  TResult<std::unique_ptr<ICommEvent>> MakeEvent() override;
  TResult<int> WaitEither(ICommEvent& first, ICommEvent& second) override;
  std::thread StartThread(std::function<void()> body, TThreadPriority priority) override;
  std::unique_ptr<IWriteQueue> CreateWriteQueue(std::atomic<bool>& idle) override;
};

// Opens a serial device for overlapped use: unshared, existing devices only.
[[nodiscard]] TResult<std::unique_ptr<ICommPort>> OpenWin32Port(const std::string& commName);

// The writer queue on the writer thread's own message queue.
std::unique_ptr<IWriteQueue> CreateThreadMessageQueue(std::atomic<bool>& idle);

}  // namespace korvane
