#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

#include "platform/FileLock.h"
#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {
namespace {

bool IsOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFdTest, OneOwnerClosesOnceWhereverTheDescriptorWent) {
  int raw = -1;
  {
    UniqueFd first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    raw = first.Get();
    ASSERT_TRUE(first.Valid());
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.Valid());  // NOLINT(bugprone-use-after-move): moved-from state is defined
    UniqueFd third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  UniqueFd released(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int kept = released.Release();
  EXPECT_FALSE(released.Valid());
  EXPECT_TRUE(IsOpen(kept));
  UniqueFd closing(kept);
  EXPECT_TRUE(closing.Close());
  EXPECT_FALSE(IsOpen(kept));
  EXPECT_TRUE(closing.Close());  // nothing held: nothing to fail
}

TEST(ResultTest, CarriesTheValueOrTheSystemsReason) {
  const TResult<int> good = 7;
  ASSERT_TRUE(good.Ok());
  EXPECT_EQ(good.Value(), 7);

  errno = ENOENT;
  const TResult<int> bad = LastSystemError("cannot open x");
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.Error().Code, std::errc::no_such_file_or_directory);
  EXPECT_EQ(bad.Message(), "cannot open x");

  const TStatus done;
  EXPECT_TRUE(done.Ok());
  const TStatus refused = TError{std::make_error_code(std::errc::permission_denied), "no"};
  EXPECT_FALSE(refused.Ok());
  EXPECT_EQ(refused.Error().Code, std::errc::permission_denied);
}

TEST(FileLockTest, ASecondOpenFileIsTurnedAwayUntilTheFirstGoes) {
  char path[] = "/tmp/korvane-lock-XXXXXX";
  UniqueFd first(::mkstemp(path));
  ASSERT_TRUE(first.Valid());
  UniqueFd second(::open(path, O_RDWR | O_CLOEXEC));
  ::unlink(path);
  const TResult<bool> taken = TryLockFile(first.Get(), TLockMode::Exclusive);
  ASSERT_TRUE(taken.Ok()) << taken.Message();
  EXPECT_TRUE(taken.Value());
  const TResult<bool> refused = TryLockFile(second.Get(), TLockMode::Shared);
  ASSERT_TRUE(refused.Ok());
  EXPECT_FALSE(refused.Value());
  first.Reset();
  EXPECT_TRUE(TryLockFile(second.Get(), TLockMode::Exclusive).Value());
  EXPECT_FALSE(TryLockFile(-1, TLockMode::Exclusive).Ok());  // EBADF is an error, not "held"
}

}  // namespace
}  // namespace korvane
