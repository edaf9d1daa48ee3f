#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/win32/Win32Backend.h"

namespace korvane {
namespace {

TWriteRequest Request(const std::string& bytes) {
  TWriteRequest request{std::make_unique<char[]>(bytes.size() + 1),
                        static_cast<std::uint16_t>(bytes.size())};
  std::memcpy(request.Block.get(), bytes.data(), bytes.size());
  return request;
}

// Takes every request on the writer's side until the queue is empty.
std::vector<std::string> Drain(IWriteQueue& queue) {
  std::vector<std::string> taken;
  TWriteRequest request;
  while (queue.Take(request)) {
    taken.emplace_back(request.Block.get(), request.Length);
  }
  return taken;
}

TEST(ThreadMessageQueue, RequestsPostedBeforeAndAfterTheWriterRunsKeepTheirOrder) {
  std::atomic<bool> idle{true};
  auto queue = CreateThreadMessageQueue(idle);
  TWriteRequest early = Request("first");
  ASSERT_TRUE(queue->Post(early));
  EXPECT_FALSE(early.Block) << "a queued request's block belongs to the queue";
  EXPECT_FALSE(idle);

  std::vector<std::string> taken;
  auto made = TWin32Event::Create();
  ASSERT_TRUE(made.Ok()) << made.Message();
  const auto& stop = made.Value();
  std::promise<bool> attached;
  std::thread writer([&] {
    attached.set_value(queue->Attach());
    while (taken.size() < 3) {
      const auto more = Drain(*queue);
      taken.insert(taken.end(), more.begin(), more.end());
      if (taken.size() < 3) {
        const auto woken = queue->Wait(*stop);
        if (!woken || woken.Value() != TQueueWake::Posted) {
          break;
        }
      }
    }
    queue->Close();
  });
  auto attachedFuture = attached.get_future();
  ASSERT_EQ(attachedFuture.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(attachedFuture.get());
  TWriteRequest second = Request("second");
  TWriteRequest third = Request(std::string("th\0rd", 5));
  ASSERT_TRUE(queue->Post(second));
  ASSERT_TRUE(queue->Post(third));
  writer.join();
  EXPECT_EQ(taken, (std::vector<std::string>{"first", "second", std::string("th\0rd", 5)}));
  EXPECT_TRUE(idle);

  TWriteRequest late = Request("late");
  EXPECT_FALSE(queue->Post(late)) << "a closed queue refuses requests";
  EXPECT_TRUE(late.Block) << "a refused request stays with the caller";
  EXPECT_TRUE(idle);
}

TEST(ThreadMessageQueue, TheStopEndsAWaitAndCloseReleasesWhatIsLeft) {
  std::atomic<bool> idle{true};
  auto queue = CreateThreadMessageQueue(idle);
  auto made = TWin32Event::Create();
  ASSERT_TRUE(made.Ok()) << made.Message();
  const auto& stop = made.Value();
  std::optional<TQueueWake> woken;
  bool sawEmpty = false;
  std::thread writer([&] {
    ASSERT_TRUE(queue->Attach());
    TWriteRequest request;
    sawEmpty = !queue->Take(request);
    const auto wait = queue->Wait(*stop);
    if (wait) {
      woken = wait.Value();
    }
    queue->Close();
  });
  stop->Set();
  writer.join();
  EXPECT_TRUE(sawEmpty);
  EXPECT_EQ(woken, TQueueWake::Stop);
  EXPECT_TRUE(idle);
}

}  // namespace
}  // namespace korvane
