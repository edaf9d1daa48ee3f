#include "Win32Backend.h"

#include "WinApi.h"

namespace korvane {

TResult<std::unique_ptr<TWin32Event>> TWin32Event::Create() {
  UniqueHandle handle(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!handle) {
    return LastSystemError("cannot create an event");
  }
  return std::unique_ptr<TWin32Event>(new TWin32Event(std::move(handle)));
}

// Setting or resetting a valid event does not fail.
void TWin32Event::Set() {
  ::SetEvent(handle_.Get());
}

void TWin32Event::Reset() {
  ::ResetEvent(handle_.Get());
}

bool TWin32Event::IsSet() const {
  return ::WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0;
}

TResult<std::unique_ptr<ICommPort>> TWin32Backend::Open(const std::string& commName) {
  return OpenWin32Port(commName);
}

TResult<std::unique_ptr<ICommEvent>> TWin32Backend::MakeEvent() {
  TResult<std::unique_ptr<TWin32Event>> event = TWin32Event::Create();
  if (!event) {
    return event.Error();
  }
  return std::unique_ptr<ICommEvent>(std::move(event).Value());
}

TResult<int> TWin32Backend::WaitEither(ICommEvent& first, ICommEvent& second) {
  const HANDLE handles[2] = {reinterpret_cast<HANDLE>(first.NativeHandle()),
                             reinterpret_cast<HANDLE>(second.NativeHandle())};
  const int index = SignalledIndex(::WaitForMultipleObjects(2, handles, FALSE, INFINITE), 2);
  if (index < 0) {
    return LastSystemError("cannot wait for the events");
  }
  return index;
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
