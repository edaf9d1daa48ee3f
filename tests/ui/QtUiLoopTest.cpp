#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "ui/QtUiLoop.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// CPU time this process has used, in milliseconds (std::clock counts wall
// time on Windows).
double ProcessCpuMs() {
#ifdef _WIN32
  FILETIME creation{}, exit{}, kernel{}, user{};
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  const auto ticks = [](const FILETIME& time) {  // 100 ns each
    return static_cast<double>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 1e4;
#else
  return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

struct TRecordingTarget : INoticeTarget {
  std::vector<TNotice> Received;
  std::vector<Clock::time_point> Times;
  void HandleNotice(TNotice& notice) override {
    Received.push_back(std::move(notice));
    Times.push_back(Clock::now());
  }
};

TNotice MakeNotice(std::uint32_t wparam, std::uint32_t lparam) {
  TNotice notice;
  notice.Msg = MSG_RX_DATA;
  notice.WParam = wparam;
  notice.LParam = lparam;
  notice.Block = std::make_unique<char[]>(2);
  return notice;
}

// Pumps until `count` notices arrived or five seconds passed.
void PumpUntil(TQtUiLoop& loop, const TRecordingTarget& target, std::size_t count) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (target.Received.size() < count && Clock::now() < deadline) {
    loop.WaitPumping(5);
  }
}

TEST(QtUiLoop, KeepsEachPostingThreadsOrder) {
  TQtUiLoop loop;
  TRecordingTarget target;
  const auto id = loop.AddTarget(target);
  constexpr std::uint32_t kPerThread = 2000;
  auto poster = [&](std::uint32_t thread) {
    for (std::uint32_t i = 0; i < kPerThread; ++i) {
      ASSERT_TRUE(loop.Post(id, MakeNotice(thread, i)));
    }
  };
  std::thread first(poster, 1);
  std::thread second(poster, 2);
  PumpUntil(loop, target, 2 * kPerThread);
  first.join();
  second.join();
  PumpUntil(loop, target, 2 * kPerThread);

  ASSERT_EQ(target.Received.size(), 2 * kPerThread);
  std::uint32_t next[3] = {0, 0, 0};
  for (const TNotice& notice : target.Received) {
    ASSERT_EQ(notice.LParam, next[notice.WParam]) << "thread " << notice.WParam;
    ++next[notice.WParam];
  }
  EXPECT_EQ(loop.Pending(), 0u);
}

TEST(QtUiLoop, WaitPumpingDeliversDuringTheWaitAndEndsAtTheDeadline) {
  TQtUiLoop loop;
  TRecordingTarget target;
  const auto id = loop.AddTarget(target);
  const auto start = Clock::now();
  const double cpuStart = ProcessCpuMs();
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // stimulus, mid-wait
    loop.Post(id, MakeNotice(0, 7));
  });
  loop.WaitPumping(300);
  const auto elapsed = Clock::now() - start;
  const double cpuMs = ProcessCpuMs() - cpuStart;
  poster.join();

  ASSERT_EQ(target.Received.size(), 1u);
  EXPECT_LT(target.Times[0] - start, std::chrono::milliseconds(250));
  EXPECT_GE(elapsed, std::chrono::milliseconds(300));
  EXPECT_LT(elapsed, std::chrono::milliseconds(400));
  EXPECT_LT(cpuMs, 100.0) << "the wait must sleep, not spin";
}

TEST(QtUiLoop, ZeroWaitHandlesNothing) {
  TQtUiLoop loop;
  TRecordingTarget target;
  const auto id = loop.AddTarget(target);
  ASSERT_TRUE(loop.Post(id, MakeNotice(0, 1)));
  loop.WaitPumping(0);
  EXPECT_TRUE(target.Received.empty());
  PumpUntil(loop, target, 1);
  EXPECT_EQ(target.Received.size(), 1u);
}

TEST(QtUiLoop, RemovedTargetLosesItsPendingNotices) {
  TQtUiLoop loop;
  TRecordingTarget kept;
  TRecordingTarget removed;
  const auto keptId = loop.AddTarget(kept);
  const auto removedId = loop.AddTarget(removed);
  for (std::uint32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(loop.Post(removedId, MakeNotice(0, i)));
  }
  ASSERT_TRUE(loop.Post(keptId, MakeNotice(0, 9)));
  loop.RemoveTarget(removedId);
  EXPECT_EQ(loop.Pending(), 1u);  // the removed target's blocks are freed
  PumpUntil(loop, kept, 1);
  loop.WaitPumping(20);
  EXPECT_TRUE(removed.Received.empty());
  EXPECT_EQ(kept.Received.size(), 1u);
  EXPECT_FALSE(loop.Post(removedId, MakeNotice(0, 0)));
}

TEST(QtUiLoop, TargetMayRemoveItselfWhileHandlingANotice) {
  TQtUiLoop loop;
  struct TSelfRemovingTarget : INoticeTarget {
    TQtUiLoop* Loop = nullptr;
    TUiLoop::TargetId Id = 0;
    int Handled = 0;
    void HandleNotice(TNotice&) override {
      ++Handled;
      Loop->RemoveTarget(Id);  // like closing the port from a receive handler
    }
  } target;
  target.Loop = &loop;
  target.Id = loop.AddTarget(target);
  ASSERT_TRUE(loop.Post(target.Id, MakeNotice(0, 0)));
  ASSERT_TRUE(loop.Post(target.Id, MakeNotice(0, 1)));
  loop.WaitPumping(30);
  EXPECT_EQ(target.Handled, 1);
  EXPECT_EQ(loop.Pending(), 0u);
}

TEST(QtUiLoop, PostFailsWhenFullAndLeavesTheNoticeWithTheCaller) {
  TQtUiLoop loop(2);
  TRecordingTarget target;
  const auto id = loop.AddTarget(target);
  ASSERT_TRUE(loop.Post(id, MakeNotice(0, 0)));
  ASSERT_TRUE(loop.Post(id, MakeNotice(0, 1)));
  TNotice third = MakeNotice(0, 2);
  EXPECT_FALSE(loop.Post(id, std::move(third)));
  EXPECT_NE(third.Block, nullptr);  // NOLINT(bugprone-use-after-move): kept on failure
  PumpUntil(loop, target, 2);
  EXPECT_TRUE(loop.Post(id, std::move(third)));
  PumpUntil(loop, target, 3);
  EXPECT_EQ(target.Received.size(), 3u);
}

// One-byte notices, as the reader posts them with InputLen 1: all of a 1 MB
// burst arrive in order, and the loop is woken once per batch, not per byte.
TEST(QtUiLoop, OneByteBurstArrivesInOrderWithFewWakeUps) {
  constexpr std::uint32_t kBytes = 1 << 20;
  TQtUiLoop loop(kBytes);
  struct TByteTarget : INoticeTarget {
    std::string Bytes;
    std::uint32_t OutOfOrder = 0;
    void HandleNotice(TNotice& notice) override {
      OutOfOrder += notice.LParam != Bytes.size() ? 1U : 0U;
      Bytes.append(notice.Block.get(), notice.WParam);
    }
  } target;
  const auto id = loop.AddTarget(target);
  std::thread poster([&] {
    for (std::uint32_t i = 0; i < kBytes; ++i) {
      TNotice notice = MakeNotice(1, i);
      notice.Block[0] = static_cast<char>(i % 251);
      ASSERT_TRUE(loop.Post(id, std::move(notice)));
    }
  });
  poster.join();
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (target.Bytes.size() < kBytes && Clock::now() < deadline) {
    loop.WaitPumping(5);
  }
  ASSERT_EQ(target.Bytes.size(), kBytes);
  EXPECT_EQ(target.OutOfOrder, 0u);
  for (std::uint32_t i = 0; i < kBytes; ++i) {
    ASSERT_EQ(target.Bytes[i], static_cast<char>(i % 251)) << "byte " << i;
  }
  EXPECT_LE(loop.WakeUps(), kBytes / 1000);
}

TEST(QtUiLoop, HangupIsTakenWhenTheQueueIsFull) {
  TQtUiLoop loop(3);
  TRecordingTarget target;
  const auto id = loop.AddTarget(target);
  for (std::uint32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(loop.Post(id, MakeNotice(0, i)));
  }
  ASSERT_FALSE(loop.Post(id, MakeNotice(0, 3)));
  TNotice hangup;
  hangup.Msg = MSG_HANGUP;
  ASSERT_TRUE(loop.Post(id, std::move(hangup)));
  PumpUntil(loop, target, 4);
  ASSERT_EQ(target.Received.size(), 4u);
  EXPECT_EQ(target.Received[2].LParam, 2u);
  EXPECT_EQ(target.Received[3].Msg, static_cast<std::uint32_t>(MSG_HANGUP));
}

}  // namespace
}  // namespace korvane
