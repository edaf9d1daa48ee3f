#include "serial/MessageLoop.h"

#include <atomic>
#include <chrono>
#include <memory>

#include "WinHandles.h"

namespace korvane {
namespace {

constexpr char kWindowClass[] = "KorvaneNotifyWindow";

bool IsNotice(UINT message) {
  return message >= MSG_RX_DATA && message <= MSG_TX_EMPTY;
}

// What a target's window knows: whom to hand notices to, and the loop's
// count of notices not yet delivered.
struct TNoticeWindow {
  INoticeTarget* Target;
  std::atomic<std::size_t>* Pending;
};

TNoticeWindow* RecordOf(HWND window) {
  return reinterpret_cast<TNoticeWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Releases the chunk a data notice carries, for notices that are never delivered.
void DropNotice(const MSG& message) {
  if (message.message == MSG_RX_DATA) {
    delete[] reinterpret_cast<char*>(message.lParam);
  }
}

LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsNotice(message)) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  TNotice notice{message, static_cast<std::uint32_t>(wParam), 0, nullptr};
  if (message == MSG_RX_DATA) {
    notice.Block.reset(reinterpret_cast<char*>(lParam));  // released after the handler
  } else {
    notice.LParam = static_cast<std::uint32_t>(lParam);
  }
  // Counted off whichever loop dispatches it: ours, Qt's or a modal dialog's.
  if (TNoticeWindow* record = RecordOf(window)) {
    record->Pending->fetch_sub(1);
    record->Target->HandleNotice(notice);
  }
  return 0;
}

void RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = NotifyWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassA(&windowClass) != 0;
  }();
  (void)registered;  // a failure shows as windows that cannot be created
}

HWND WindowOf(TUiLoop::TargetId id) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
}

}  // namespace

TMessageLoop::TMessageLoop(std::size_t maxPending) : maxPending_(maxPending) {
  RegisterWindowClass();
}

TMessageLoop::~TMessageLoop() = default;

TUiLoop::TargetId TMessageLoop::AddTarget(INoticeTarget& target) {
  owner_.Check();
  UniqueWindow window(::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr));
  if (!window) {
    return 0;
  }
  auto record = std::make_unique<TNoticeWindow>(TNoticeWindow{&target, &pending_});
  ::SetWindowLongPtrA(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record.release()));
  // The window and its record are RemoveTarget's to end from here on.
  return static_cast<TargetId>(reinterpret_cast<std::uintptr_t>(window.Release()));
}

void TMessageLoop::RemoveTarget(TargetId id) {
  owner_.Check();
  if (id == 0) {
    return;
  }
  const UniqueWindow window(WindowOf(id));
  std::unique_ptr<TNoticeWindow> record(RecordOf(window.Get()));
  ::SetWindowLongPtrA(window.Get(), GWLP_USERDATA, 0);
  MSG message;
  while (::PeekMessageA(&message, window.Get(), MSG_RX_DATA, MSG_TX_EMPTY, PM_REMOVE)) {
    DropNotice(message);
    pending_.fetch_sub(1);
  }
}

bool TMessageLoop::Post(TargetId target, TNotice&& notice) {
  if (target == 0) {
    return false;  // a null window would post to the calling thread instead
  }
  if (!ReserveRoomFor(notice.Msg)) {
    return false;
  }
  const LPARAM lParam = notice.Msg == MSG_RX_DATA ? reinterpret_cast<LPARAM>(notice.Block.get())
                                                  : static_cast<LPARAM>(notice.LParam);
  if (!::PostMessageA(WindowOf(target), notice.Msg, notice.WParam, lParam)) {
    pending_.fetch_sub(1);
    return false;
  }
  if (notice.Msg == MSG_RX_DATA) {
    notice.Block.release();  // the message owns it now
  }
  return true;
}

// Counted before the post, so that the window never counts off a notice that
// was not yet counted.
bool TMessageLoop::ReserveRoomFor(std::uint32_t msg) {
  if (msg == MSG_HANGUP) {
    pending_.fetch_add(1);
    return true;
  }
  std::size_t now = pending_.load();
  do {
    if (now >= maxPending_) {
      return false;
    }
  } while (!pending_.compare_exchange_weak(now, now + 1));
  return true;
}

void TMessageLoop::WaitPumping(std::uint32_t milliseconds) {
  owner_.Check();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    MSG message;
    while (Clock::now() < deadline && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return;
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
  }
}

}  // namespace korvane
