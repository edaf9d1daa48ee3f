#include "Win32Backend.h"

#include "WinApi.h"

namespace korvane {

std::unique_ptr<TWin32Event> TWin32Event::Create() {
  HANDLE handle = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (handle == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<TWin32Event>(new TWin32Event(handle));
}

TWin32Event::~TWin32Event() {
  ::CloseHandle(handle_);
}

void TWin32Event::Set() {
  ::SetEvent(handle_);
}

void TWin32Event::Reset() {
  ::ResetEvent(handle_);
}

bool TWin32Event::IsSet() const {
  return ::WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
}

std::unique_ptr<ICommPort> TWin32Backend::Open(const std::string& commName, TOpenStatus& status) {
  return OpenWin32Port(commName, status);
}

std::unique_ptr<ICommEvent> TWin32Backend::MakeEvent() {
  return TWin32Event::Create();
}

int TWin32Backend::WaitEither(ICommEvent& first, ICommEvent& second) {
  const HANDLE handles[2] = {reinterpret_cast<HANDLE>(first.NativeHandle()),
                             reinterpret_cast<HANDLE>(second.NativeHandle())};
  return SignalledIndex(::WaitForMultipleObjects(2, handles, FALSE, INFINITE), 2);
}

std::thread TWin32Backend::StartThread(std::function<void()> body, TThreadPriority priority) {
  const int level =
      priority == TThreadPriority::Highest ? THREAD_PRIORITY_HIGHEST : THREAD_PRIORITY_ABOVE_NORMAL;
  return std::thread([body = std::move(body), level] {
    ::SetThreadPriority(::GetCurrentThread(), level);  // a refusal only costs latency
    body();
  });
}

std::unique_ptr<IWriteQueue> TWin32Backend::CreateWriteQueue(std::atomic<bool>& idle) {
  return CreateThreadMessageQueue(idle);
}

ICommBackend& PlatformCommBackend() {
  static TWin32Backend backend;
  return backend;
}

}  // namespace korvane
