#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CommBackend.h"

namespace korvane {

// Manual-reset event on a Windows event object.
class TWin32Event final : public ICommEvent {
 public:
  // Null when the event object cannot be created.
  static std::unique_ptr<TWin32Event> Create();
  ~TWin32Event() override;
  TWin32Event(const TWin32Event&) = delete;
  TWin32Event& operator=(const TWin32Event&) = delete;

  void Set() override;
  void Reset() override;
  bool IsSet() const override;
  std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(handle_); }

 private:
  explicit TWin32Event(void* handle) : handle_(handle) {}
  void* handle_;
};

// Overlapped I/O on the Windows serial API; the writer's queue is the writer
// thread's message queue.
class TWin32Backend final : public ICommBackend {
 public:
  std::unique_ptr<ICommPort> Open(const std::string& commName, TOpenStatus& status) override;
  std::unique_ptr<ICommEvent> MakeEvent() override;
  int WaitEither(ICommEvent& first, ICommEvent& second) override;
  std::thread StartThread(std::function<void()> body, TThreadPriority priority) override;
  std::unique_ptr<IWriteQueue> CreateWriteQueue(std::atomic<bool>& idle) override;
};

// Opens a serial device for overlapped use: unshared, existing devices only.
std::unique_ptr<ICommPort> OpenWin32Port(const std::string& commName, TOpenStatus& status);

// The writer queue on the writer thread's own message queue.
std::unique_ptr<IWriteQueue> CreateThreadMessageQueue(std::atomic<bool>& idle);

}  // namespace korvane
