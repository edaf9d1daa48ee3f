#include "platform/FileIo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

// A pipe takes far less than this at once and hands it out in pieces, so both
// sides only get everything across by going on after partial transfers.
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
  testing::TempDir dir;
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
