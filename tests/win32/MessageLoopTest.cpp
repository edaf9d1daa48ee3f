#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommTypes.h"
#include "serial/MessageLoop.h"

#include <windows.h>

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

struct Recorder : INoticeTarget {
  void HandleNotice(TNotice& notice) override {
    std::string text;
    if (notice.Block) {
      text.assign(notice.Block.get(), notice.WParam);
    }
    seen.push_back({notice.Msg, notice.LParam, text});
  }
  struct Seen {
    std::uint32_t Msg;
    std::uint32_t LParam;
    std::string Bytes;
  };
  std::vector<Seen> seen;
};

TNotice DataNotice(const std::string& bytes) {
  TNotice notice{MSG_RX_DATA, static_cast<std::uint32_t>(bytes.size()), 0,
                 std::make_unique<char[]>(bytes.size() + 1)};
  std::memcpy(notice.Block.get(), bytes.data(), bytes.size());
  return notice;
}

TEST(MessageLoop, NoticesFromAnotherThreadArriveInOrderWithTheirData) {
  TMessageLoop loop;
  Recorder recorder;
  const auto target = loop.AddTarget(recorder);
  ASSERT_NE(target, 0u);
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_TRUE(loop.Post(target, DataNotice(std::string("a\0b", 3) + std::to_string(i))));
    }
    ASSERT_TRUE(loop.Post(target, TNotice{MSG_MODEM, 0, MODEM_RLSD | MODEM_RING, nullptr}));
  });
  worker.join();
  EXPECT_TRUE(recorder.seen.empty()) << "notices are delivered only while the loop is pumped";
  loop.WaitPumping(50);
  ASSERT_EQ(recorder.seen.size(), 101u);
  for (std::size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(recorder.seen[i].Msg, MSG_RX_DATA);
    EXPECT_EQ(recorder.seen[i].Bytes, std::string("a\0b", 3) + std::to_string(i));
  }
  EXPECT_EQ(recorder.seen[100].Msg, MSG_MODEM);
  EXPECT_EQ(recorder.seen[100].LParam, 12u);
  loop.RemoveTarget(target);
}

TEST(MessageLoop, WaitPumpingReturnsAtItsDeadlineAndHandlesWhatArrivesMeanwhile) {
  TMessageLoop loop;
  Recorder recorder;
  const auto target = loop.AddTarget(recorder);
  auto start = Clock::now();
  loop.WaitPumping(0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));

  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the test's own timing
    loop.Post(target, TNotice{MSG_TX_EMPTY, 0, 0, nullptr});
  });
  start = Clock::now();
  loop.WaitPumping(300);
  const auto took = Clock::now() - start;
  late.join();
  EXPECT_GE(took, std::chrono::milliseconds(300));
  EXPECT_LT(took, std::chrono::milliseconds(400));
  ASSERT_EQ(recorder.seen.size(), 1u);
  EXPECT_EQ(recorder.seen[0].Msg, MSG_TX_EMPTY);
  loop.RemoveTarget(target);
}

TEST(MessageLoop, ARemovedTargetGetsNothingMoreAndRefusesPosts) {
  TMessageLoop loop;
  Recorder recorder;
  const auto target = loop.AddTarget(recorder);
  ASSERT_TRUE(loop.Post(target, DataNotice("queued")));
  loop.RemoveTarget(target);
  loop.WaitPumping(30);
  EXPECT_TRUE(recorder.seen.empty());

  TNotice refused = DataNotice("late");
  EXPECT_FALSE(loop.Post(target, std::move(refused)));
  ASSERT_TRUE(refused.Block) << "a refused notice stays with its sender";
  EXPECT_FALSE(loop.Post(0, TNotice{MSG_HANGUP, 0, 0, nullptr}));
}

// Under Wine the system's queue never refuses a post, so the loop's own cap is
// what stops a reader running ahead; the hangup that the refused reader then
// posts must still arrive.
TEST(MessageLoop, AFullQueueRefusesDataButNeverAHangup) {
  TMessageLoop loop(3);
  Recorder recorder;
  const auto target = loop.AddTarget(recorder);
  ASSERT_NE(target, 0u);
  std::thread reader([&] {
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(loop.Post(target, DataNotice(std::to_string(i))));
    }
    TNotice refused = DataNotice("over");
    EXPECT_FALSE(loop.Post(target, std::move(refused)));
    EXPECT_TRUE(refused.Block) << "a refused notice stays with its sender";
    EXPECT_FALSE(loop.Post(target, TNotice{MSG_MODEM, 0, 0, nullptr}));
    EXPECT_TRUE(loop.Post(target, TNotice{MSG_HANGUP, 0, 0, nullptr}));
    EXPECT_TRUE(loop.Post(target, TNotice{MSG_HANGUP, 1, 0, nullptr}));  // the writer's
  });
  reader.join();
  EXPECT_EQ(loop.Pending(), 5u);

  // Delivered by a loop other than WaitPumping, as a modal dialog's would.
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::DispatchMessageA(&message);
  }
  ASSERT_EQ(recorder.seen.size(), 5u);
  const std::vector<std::uint32_t> expected = {MSG_RX_DATA, MSG_RX_DATA, MSG_RX_DATA, MSG_HANGUP,
                                               MSG_HANGUP};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(recorder.seen[i].Msg, expected[i]) << i;
  }
  EXPECT_EQ(loop.Pending(), 0u);
  EXPECT_TRUE(loop.Post(target, DataNotice("room again")));

  // Notices dropped with their target free their room too.
  loop.RemoveTarget(target);
  EXPECT_EQ(loop.Pending(), 0u);
}

}  // namespace
}  // namespace korvane
