#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/Comm.h"
#include "serial/PlainLoop.h"

namespace korvane {
namespace {

struct TIgnore final : INoticeTarget {
  void HandleNotice(TNotice&) override {}
};

void OnAnotherThread(const std::function<void()>& call) {
  std::thread(call).join();
}

struct TOwnerCall {
  const char* Method;  // as the stop message names it
  std::function<void(TPlainLoop&, TComm&)> Call;
};

// Only debug builds check; the loop's Post stays open to every thread.
TEST(OwnerThreadTest, OwnerSideCallsFromAnotherThreadStopTheProgram) {
#ifdef NDEBUG
  GTEST_SKIP() << "release builds do not check the owner thread";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TIgnore target;
  const std::vector<TOwnerCall> calls{
      {"TPlainLoop::AddTarget", [&](TPlainLoop& loop, TComm&) { loop.AddTarget(target); }},
      {"TPlainLoop::RemoveTarget", [](TPlainLoop& loop, TComm&) { loop.RemoveTarget(1); }},
      {"TPlainLoop::WaitPumping", [](TPlainLoop& loop, TComm&) { loop.WaitPumping(0); }},
      {"TComm::OpenPort", [](TPlainLoop&, TComm& comm) { comm.OpenPort(); }},
      {"TComm::ClosePort", [](TPlainLoop&, TComm& comm) { comm.ClosePort(); }},
      {"TComm::SendData", [](TPlainLoop&, TComm& comm) { comm.SendData("x", 1); }},
      {"TComm::SetState", [](TPlainLoop&, TComm& comm) { comm.SetBaudRate(19200); }},
      {"TComm::SetTimeout", [](TPlainLoop&, TComm& comm) { comm.SetReadIntervalTimeout(5); }},
  };
  for (const TOwnerCall& call : calls) {
    TPlainLoop loop;
    TComm comm(loop);
    EXPECT_DEATH(OnAnotherThread([&] { call.Call(loop, comm); }),
                 std::string(call.Method) + ".*called on a thread other than its owner's")
        << call.Method;
  }
}

}  // namespace
}  // namespace korvane
