#include <sys/resource.h>

#include <thread>

#include <gtest/gtest.h>

#include "serial/PlainLoop.h"

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct TRecorder final : INoticeTarget {
  std::vector<TNotice> Seen;
  std::function<void(TNotice&)> Also;
  void HandleNotice(TNotice& notice) override {
    if (Also) {
      Also(notice);
    }
    Seen.push_back(std::move(notice));
  }
};

TNotice Notice(std::uint32_t wParam, std::uint32_t lParam = 0) {
  return TNotice{MSG_RX_ERROR, wParam, lParam, nullptr};
}

double ThreadCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(PlainLoopTest, KeepsEachPostingThreadsOrder) {
  TPlainLoop loop;
  TRecorder recorder;
  const auto target = loop.AddTarget(recorder);
  constexpr std::uint32_t kPerThread = 2000;
  std::vector<std::thread> posters;
  for (std::uint32_t thread = 0; thread < 3; ++thread) {
    posters.emplace_back([&, thread] {
      for (std::uint32_t i = 0; i < kPerThread; ++i) {
        EXPECT_TRUE(loop.Post(target, Notice(i, thread)));
      }
    });
  }
  const auto deadline = Clock::now() + milliseconds(3000);
  while (recorder.Seen.size() < 3 * kPerThread && Clock::now() < deadline) {
    loop.WaitPumping(10);
  }
  for (std::thread& poster : posters) {
    poster.join();
  }
  ASSERT_EQ(recorder.Seen.size(), 3 * kPerThread);
  std::uint32_t next[3] = {};
  for (const TNotice& notice : recorder.Seen) {
    EXPECT_EQ(notice.WParam, next[notice.LParam]++);
  }
}

TEST(PlainLoopTest, RefusesPostsBeyondItsCapacityAndKeepsTheNotice) {
  TPlainLoop loop(2);
  TRecorder recorder;
  const auto target = loop.AddTarget(recorder);
  EXPECT_TRUE(loop.Post(target, Notice(1)));
  EXPECT_TRUE(loop.Post(target, Notice(2)));
  TNotice third{MSG_RX_DATA, 1, 0, std::make_unique<char[]>(2)};
  EXPECT_FALSE(loop.Post(target, std::move(third)));
  EXPECT_NE(third.Block, nullptr);  // still the caller's
  loop.WaitPumping(10);
  EXPECT_EQ(recorder.Seen.size(), 2u);
  EXPECT_TRUE(loop.Post(target, std::move(third)));
  EXPECT_TRUE(loop.Post(target, Notice(4)));
  EXPECT_FALSE(loop.Post(target, Notice(5)));
  EXPECT_TRUE(loop.Post(target, TNotice{MSG_HANGUP, 0, 0, nullptr}));  // over the bound
  loop.WaitPumping(10);
  ASSERT_EQ(recorder.Seen.size(), 5u);
  EXPECT_EQ(recorder.Seen.back().Msg, static_cast<std::uint32_t>(MSG_HANGUP));
}

TEST(PlainLoopTest, RemovedTargetGetsNothingMore) {
  TPlainLoop loop;
  TRecorder kept;
  TRecorder removed;
  const auto keptId = loop.AddTarget(kept);
  const auto removedId = loop.AddTarget(removed);
  loop.Post(removedId, Notice(1));
  loop.Post(keptId, Notice(2));
  loop.Post(removedId, Notice(3));
  loop.RemoveTarget(removedId);
  loop.Post(removedId, Notice(4));  // posted after removal: dropped at delivery
  loop.WaitPumping(10);
  EXPECT_TRUE(removed.Seen.empty());
  ASSERT_EQ(kept.Seen.size(), 1u);
  EXPECT_EQ(kept.Seen[0].WParam, 2u);
}

TEST(PlainLoopTest, PumpsUntilTheDeadlineWithoutSpinning) {
  TPlainLoop loop;
  TRecorder recorder;
  const auto target = loop.AddTarget(recorder);
  recorder.Also = [&](TNotice& notice) {
    if (notice.WParam < 3) {
      loop.Post(target, Notice(notice.WParam + 1));  // handlers may post
    }
  };
  std::thread late([&] {
    std::this_thread::sleep_for(milliseconds(60));
    loop.Post(target, Notice(10));
  });
  loop.Post(target, Notice(0));
  const double cpuBefore = ThreadCpuSeconds();
  const auto started = Clock::now();
  loop.WaitPumping(200);
  const auto took = Clock::now() - started;
  late.join();
  EXPECT_GE(took, milliseconds(200));
  EXPECT_LT(took, milliseconds(400));
  EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.05);
  ASSERT_EQ(recorder.Seen.size(), 5u);
  EXPECT_EQ(recorder.Seen[3].WParam, 3u);
  EXPECT_EQ(recorder.Seen[4].WParam, 10u);
}

TEST(PlainLoopTest, ZeroWaitHandlesNothing) {
  TPlainLoop loop;
  TRecorder recorder;
  const auto target = loop.AddTarget(recorder);
  loop.Post(target, Notice(1));
  loop.WaitPumping(0);
  EXPECT_TRUE(recorder.Seen.empty());
  loop.WaitPumping(5);
  EXPECT_EQ(recorder.Seen.size(), 1u);
}

}  // namespace
}  // namespace korvane
