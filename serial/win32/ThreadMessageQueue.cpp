#include <deque>
#include <mutex>

#include "Win32Backend.h"
#include "WinApi.h"
#include "serial/CommBackend.h"

namespace korvane {
namespace {

constexpr UINT MSG_TX_REQUEST = WM_USER + 1;
constexpr std::size_t kEarlyLimit = 4096;  // requests posted before the writer runs

// Write requests as messages of the writer thread's queue: the length in the
// first parameter, the block in the second. The queue exists only once the
// writer thread has run, so requests posted before that wait in a small list
// that Attach moves over in order. One lock orders posts, the writer's look at
// an empty queue and its end, which keeps the idle flag exact and never lets a
// block be posted to a writer that has already let go of its queue.
class TThreadMessageQueue final : public IWriteQueue {
 public:
  explicit TThreadMessageQueue(std::atomic<bool>& idle) : idle_(idle) {}
  ~TThreadMessageQueue() override = default;

  bool Attach() override {
    MSG message;
    ::PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the queue
    std::lock_guard lock(mutex_);
    thread_ = ::GetCurrentThreadId();
    while (!early_.empty()) {
      if (!PostToThread(early_.front())) {
        return false;
      }
      early_.pop_front();
    }
    attached_ = true;
    return true;
  }

  bool Post(TWriteRequest& request) override {
    std::lock_guard lock(mutex_);
    if (closed_) {
      return false;
    }
    if (!attached_) {
      if (early_.size() >= kEarlyLimit) {
        return false;
      }
      early_.push_back(std::move(request));
    } else if (!PostToThread(request)) {
      return false;
    }
    idle_ = false;
    return true;
  }

  bool Take(TWriteRequest& request) override {
    for (;;) {
      MSG message;
      {
        std::lock_guard lock(mutex_);
        if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
          idle_ = true;
          return false;
        }
      }
      if (message.hwnd != nullptr) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
      } else if (message.message == MSG_TX_REQUEST) {
        request.Block.reset(reinterpret_cast<char*>(message.lParam));
        request.Length = static_cast<std::uint16_t>(message.wParam);
        return true;
      }  // any other thread message is not ours
    }
  }

  TResult<TQueueWake> Wait(ICommEvent& stop) override {
    const HANDLE handle = reinterpret_cast<HANDLE>(stop.NativeHandle());
    switch (
        SignalledIndex(::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT), 2)) {
      case 0:
        return TQueueWake::Stop;
      case 1:
        return TQueueWake::Posted;
      default:
        return LastSystemError("cannot wait for the writer's messages");
    }
  }

  void Close() override {
    std::lock_guard lock(mutex_);
    closed_ = true;
    MSG message;
    while (::PeekMessageA(&message, nullptr, MSG_TX_REQUEST, MSG_TX_REQUEST, PM_REMOVE)) {
      if (message.hwnd == nullptr) {
        delete[] reinterpret_cast<char*>(message.lParam);
      }
    }
    early_.clear();
    idle_ = true;
  }

 private:
  // Hands the block over with the message; on failure the request keeps it.
  bool PostToThread(TWriteRequest& request) {
    if (!::PostThreadMessageA(thread_, MSG_TX_REQUEST, request.Length,
                              reinterpret_cast<LPARAM>(request.Block.get()))) {
      return false;
    }
    request.Block.release();
    return true;
  }

  std::atomic<bool>& idle_;
  std::mutex mutex_;
  DWORD thread_ = 0;
  bool attached_ = false;
  bool closed_ = false;
  std::deque<TWriteRequest> early_;
};

}  // namespace

std::unique_ptr<IWriteQueue> CreateThreadMessageQueue(std::atomic<bool>& idle) {
  return std::make_unique<TThreadMessageQueue>(idle);
}

}  // namespace korvane
