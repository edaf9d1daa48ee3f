#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Result.h"
#include "serial/CommError.h"
#include "serial/CommTypes.h"
#include "serial/WriteQueue.h"

namespace korvane {

// The platform seam of the serial component. The reader and writer algorithms
// reach the port only through these interfaces, in the shape of overlapped I/O:
// an operation either completes at once or stays pending until a wait reports
// its completion, and every wait also ends when the stop event is set. Set-up
// calls that can fail say why (TStatus); the I/O calls report the state of
// the operation (TIoStatus), which the workers act on.

// Restart: the operation ended without a result and is simply started again (a
// comm-event wait that a change of the watched events completed with no event).
enum class TIoStatus { Done, Pending, InvalidHandle, Failed, Restart };

// What ended a reader's wait; checked in this order when several are ready.
enum class TReaderWake { Stop, CommEvent, ReadDone, Failed };
enum class TWriterWake { Stop, WriteDone, Failed };
enum class TThreadPriority { Highest, AboveNormal };

// Manual-reset event, created non-signalled.
class ICommEvent {
 public:
  virtual ~ICommEvent() = default;
  virtual void Set() = 0;
  virtual void Reset() = 0;
  [[nodiscard]] virtual bool IsSet() const = 0;
  // The platform object behind it (a file descriptor on POSIX).
  virtual std::intptr_t NativeHandle() const = 0;
};

// One open port. Set-up calls come from the component's thread; the reader
// side and the writer side are each used by one worker.
class ICommPort {
 public:
  virtual ~ICommPort() = default;

  [[nodiscard]] virtual TStatus SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize) = 0;
  [[nodiscard]] virtual TStatus Purge(std::uint32_t flags) = 0;
  // An error when the port refused the settings or some of them (a rate the
  // platform does not offer); what it took stays applied.
  [[nodiscard]] virtual TStatus ApplyState(const TLineSettings& settings) = 0;
  [[nodiscard]] virtual TStatus ApplyTimeouts(const TCommTimeouts& timeouts) = 0;

  // Reader side: at most one read and one comm-event wait pending.
  [[nodiscard]] virtual TStatus SetCommMask(std::uint32_t mask) = 0;
  virtual TIoStatus StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) = 0;
  virtual TIoStatus FinishRead(std::uint32_t& count) = 0;
  virtual TIoStatus StartEventWait(std::uint32_t& mask) = 0;
  virtual TIoStatus FinishEventWait(std::uint32_t& mask) = 0;
  virtual TIoStatus ClearError(std::uint32_t& errors) = 0;
  virtual TReaderWake WaitReader(ICommEvent& stop) = 0;

  // Writer side: at most one write pending.
  virtual TIoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) = 0;
  virtual TIoStatus FinishWrite(std::uint32_t& count) = 0;
  virtual TWriterWake WaitWrite(ICommEvent& stop) = 0;
};

class ICommBackend {
 public:
  virtual ~ICommBackend() = default;

  // Opens `commName` for exclusive use. TCommErrc::NotCommDevice when the name
  // opens something else, TCommErrc::PortInUse when another program holds it.
  [[nodiscard]] virtual TResult<std::unique_ptr<ICommPort>> Open(const std::string& commName) = 0;
  [[nodiscard]] virtual TResult<std::unique_ptr<ICommEvent>> MakeEvent() = 0;
  // Waits until `first` or `second` is set: 0 or 1, the first winning a tie.
  [[nodiscard]] virtual TResult<int> WaitEither(ICommEvent& first, ICommEvent& second) = 0;
  // Runs `body` on a new thread; throws std::system_error when none can be created.
  virtual std::thread StartThread(std::function<void()> body, TThreadPriority priority) = 0;
  // The writer's request queue; `idle` is the component's idle flag. By
  // default a deque woken through this backend's events.
  virtual std::unique_ptr<IWriteQueue> CreateWriteQueue(std::atomic<bool>& idle);
};

// The backend of the platform the program runs on.
ICommBackend& PlatformCommBackend();

}  // namespace korvane
