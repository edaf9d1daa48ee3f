#pragma once

#include <cstdint>

#include "serial/OwnerThread.h"
#include "serial/UiLoop.h"

namespace korvane {

// Windows only. The user-interface loop on the Windows message queue. Each notice target is
// a hidden message-only window owned by the loop's thread; workers post
// notices to it with PostMessageA, and WaitPumping serves the thread's queue
// (MsgWaitForMultipleObjects), so window messages of the thread are handled
// as well.
class TMessageLoop final : public TUiLoop {
 public:
  TMessageLoop();
  ~TMessageLoop() override;
  TMessageLoop(const TMessageLoop&) = delete;
  TMessageLoop& operator=(const TMessageLoop&) = delete;

  // 0 when the window cannot be created; posts to it then fail.
  TargetId AddTarget(INoticeTarget& target) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, TNotice&& notice) override;
  void WaitPumping(std::uint32_t milliseconds) override;

 private:
  TOwnerThread owner_;  // the thread whose message queue serves the targets
};

}  // namespace korvane
