#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/Result.h"

namespace korvane {

class ICommBackend;
class ICommEvent;

// One request for the writer: `Length` bytes of `Block` (Length + 1 bytes, the
// last one 0). The block belongs to whoever holds the request.
struct TWriteRequest {
  std::unique_ptr<char[]> Block;
  std::uint16_t Length = 0;
};

enum class TQueueWake { Stop, Posted };

// The writer's first-in, first-out request queue. Any thread posts to it
// without blocking; only the writer thread takes from it and waits on it.
// The queue keeps the component's idle flag together with its contents, so the
// flag never reads idle while a request waits, nor busy after a refused post.
class IWriteQueue {
 public:
  virtual ~IWriteQueue() = default;

  // Writer thread, once, before anything else: binds the queue to the thread.
  // False when the queue cannot be set up.
  [[nodiscard]] virtual bool Attach() = 0;
  // Any thread, from construction on. On success the request is queued and the
  // idle flag cleared; on failure (queue full or closed) the caller keeps it.
  [[nodiscard]] virtual bool Post(TWriteRequest& request) = 0;
  // Writer thread. The next request, or false with the idle flag set when the
  // queue is empty.
  [[nodiscard]] virtual bool Take(TWriteRequest& request) = 0;
  // Writer thread, after Take found the queue empty: waits until `stop` is set
  // or a request is posted. `stop` wins.
  [[nodiscard]] virtual TResult<TQueueWake> Wait(ICommEvent& stop) = 0;
  // Writer thread, at its end: refuses every later post, releases the requests
  // still queued and sets the idle flag.
  virtual void Close() = 0;
};

// The queue on a mutex-guarded deque, woken through an event of the backend.
class TEventWriteQueue final : public IWriteQueue {
 public:
  static constexpr std::size_t kLimit = 4096;  // requests

  TEventWriteQueue(ICommBackend& backend, std::atomic<bool>& idle);
  ~TEventWriteQueue() override;

  bool Attach() override;
  bool Post(TWriteRequest& request) override;
  bool Take(TWriteRequest& request) override;
  TResult<TQueueWake> Wait(ICommEvent& stop) override;
  void Close() override;

 private:
  ICommBackend& backend_;
  std::atomic<bool>& idle_;
  std::unique_ptr<ICommEvent> wake_;  // set by Post, reset by Take
  std::mutex mutex_;
  std::deque<TWriteRequest> queue_;
  bool closed_ = false;
};

}  // namespace korvane
