#include "platform/FileIo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/UniqueHandle.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(i * 7 + i / 251);
  }
  return bytes;
}

// The failure, or a stand-in that no case expects when the call went well.
template <class T>
TError ErrorOf(const TResult<T>& result) {
  return result.Ok() ? TError{{}, "succeeded"} : result.Error();
}

// A pipe hands the reader far less than this at once: only a reader that
// goes on after each piece gets it all.
TEST(FileIoTest, MovesEverythingThroughAPipeInPieces) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  UniqueFd reading(ends[0]);
  UniqueFd writing(ends[1]);
  const std::string sent = Pattern(1 << 20);
  TResult<std::string> received = std::string();
  std::thread reader([&] { received = ReadAll(reading.Get()); });
  const TStatus written = WriteAll(writing.Get(), sent);
  writing.Reset();
  reader.join();
  ASSERT_TRUE(written.Ok()) << written.Message();
  ASSERT_TRUE(received.Ok()) << received.Message();
  EXPECT_TRUE(received.Value() == sent) << received.Value().size() << " bytes arrived";
}

TEST(FileIoTest, OffsetsLeaveTheFilePositionAloneAndStopAtTheEnd) {
  test::TempDir dir;
  UniqueFd file(::open(dir.File("f").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  ASSERT_TRUE(file.Valid());
  ASSERT_TRUE(WriteAll(file.Get(), "head").Ok());
  ASSERT_TRUE(WriteAllAt(file.Get(), "tail", 10).Ok());
  ASSERT_TRUE(WriteAll(file.Get(), "++").Ok());  // still at 4, not after "tail"

  struct Case {
    std::uint64_t Offset;
    std::size_t Length;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      {0, 14, std::string("head++\0\0\0\0tail", 14)},
      {8, 100, std::string("\0\0tail", 6)},  // short only at the end
      {14, 5, ""},
      {1000, 5, ""},
  };
  for (const Case& c : cases) {
    const TResult<std::string> read = ReadAt(file.Get(), c.Offset, c.Length);
    ASSERT_TRUE(read.Ok()) << read.Message();
    EXPECT_EQ(read.Value(), c.Expected) << "at " << c.Offset;
  }
  ASSERT_EQ(::lseek(file.Get(), 0, SEEK_CUR), 6);
  ASSERT_EQ(::lseek(file.Get(), 0, SEEK_SET), 0);
  EXPECT_EQ(ReadAll(file.Get()).Value(), std::string("head++\0\0\0\0tail", 14));
}

// The file size limit cuts a write short as a full disk would: the writer
// goes on, and the next write tells why it cannot.
TEST(FileIoTest, AWriteCutShortGoesOnAndTellsWhyItStopped) {
  test::TempDir dir;
  const std::vector<std::function<TStatus(int, std::string_view)>> writers = {
      [](int fd, std::string_view bytes) { return WriteAll(fd, bytes); },
      [](int fd, std::string_view bytes) { return WriteAllAt(fd, bytes, 0); },
  };
  for (std::size_t i = 0; i < writers.size(); ++i) {
    const std::string path = dir.File("limited" + std::to_string(i));
    UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(file.Valid());
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const TStatus written = writers[i](file.Get(), std::string(10000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(ErrorOf(written).Code, std::errc::file_too_large) << "writer " << i;
    EXPECT_EQ(::lseek(file.Get(), 0, SEEK_END), 4096) << "writer " << i;
  }
}

TEST(FileIoTest, TheSystemsReasonComesBack) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  UniqueFd reading(ends[0]);
  UniqueFd writing(ends[1]);
  struct Case {
    const char* What;
    TError Error;
    std::errc Expected;
  };
  const Case cases[] = {
      {"write to the reading end", ErrorOf(WriteAll(reading.Get(), "x")),
       std::errc::bad_file_descriptor},
      {"read from the writing end", ErrorOf(ReadAll(writing.Get())),
       std::errc::bad_file_descriptor},
      {"write at an offset in a pipe", ErrorOf(WriteAllAt(writing.Get(), "x", 0)),
       std::errc::invalid_seek},
      {"read at an offset in a pipe", ErrorOf(ReadAt(reading.Get(), 0, 1)),
       std::errc::invalid_seek},
      {"write to no file", ErrorOf(WriteAll(-1, "x")), std::errc::bad_file_descriptor},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.Error.Code, c.Expected) << c.What << ": " << c.Error.Code.message();
    EXPECT_FALSE(c.Error.Message.empty()) << c.What;
  }
}

}  // namespace
}  // namespace korvane
