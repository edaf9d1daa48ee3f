#pragma once

#include <cstdint>
#include <memory>

namespace korvane {

// Notice ids posted by the serial workers to a component's notification target.
enum : std::uint32_t {
  MSG_RX_DATA = 0x0401,
  MSG_RX_ERROR = 0x0402,
  MSG_HANGUP = 0x0403,
  MSG_MODEM = 0x0404,
  MSG_TX_EMPTY = 0x0405,
};

// One posted notice. For MSG_RX_DATA, WParam is the chunk length and Block the
// chunk's private copy (WParam + 1 bytes, the last one 0); LParam carries the
// line error word (MSG_RX_ERROR) or the modem bits (MSG_MODEM).
struct TNotice {
  std::uint32_t Msg = 0;
  std::uint32_t WParam = 0;
  std::uint32_t LParam = 0;
  std::unique_ptr<char[]> Block;
};

class INoticeTarget {
 public:
  virtual ~INoticeTarget() = default;
  virtual void HandleNotice(TNotice& notice) = 0;
};

// The user-interface thread's loop. Everything but the serial workers runs on
// the thread that owns the loop. Implementations: Qt's event loop (ui/) and a
// plain loop (command-line tool and tests).
class TUiLoop {
 public:
  using TargetId = std::uint64_t;

  virtual ~TUiLoop() = default;

  // Loop thread only. Notices still queued for a removed target are dropped
  // (their blocks released) and never delivered.
  virtual TargetId AddTarget(INoticeTarget& target) = 0;
  virtual void RemoveTarget(TargetId id) = 0;

  // Any thread. Never blocks; keeps each posting thread's order; returns false
  // when the notice cannot be queued, in which case the caller keeps it.
  virtual bool Post(TargetId target, TNotice&& notice) = 0;

  // Loop thread only. Handles every notice and event as it arrives and returns
  // when `milliseconds` have passed, sleeping in between (never spinning).
  // WaitPumping(0) returns at once without handling anything.
  virtual void WaitPumping(std::uint32_t milliseconds) = 0;
};

}  // namespace korvane
