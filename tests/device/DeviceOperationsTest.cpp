#include "device/DeviceOperations.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

#include "device/ConfigImage.h"
#include "model/HexCodec.h"
#include "tests/device/ScriptedLink.h"
#include "tests/support/TempDir.h"
#ifndef _WIN32
#include "tests/support/Unprivileged.h"
#endif

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace korvane {
namespace {

using test::RecordingOperator;
using test::ScriptedLink;

const std::string kRequest = HexToBytes(kProgramRequestHex);
const std::string kAccepted = HexToBytes(kProgramAcceptedHex);
const std::string kAck = HexToBytes(kBlockReceivedHex);
const std::string kReadRequest = HexToBytes(kReadRequestHex);

// A device that accepts programming from request attempt `acceptFrom` on and
// acknowledges block k from attempt `ackFrom[k]` on.
struct ProgrammableDevice {
  int acceptFrom = 1;
  std::array<int, 5> ackFrom{1, 1, 1, 1, 1};
  std::string trailer;  // appended to every answer
  int requests = 0;
  std::array<int, 5> blockAttempts{};
  int blocksAcked = 0;
  std::string image;

  std::string operator()(const std::string& received) {
    if (received == kRequest) {
      ++requests;
      return requests >= acceptFrom ? kAccepted + trailer : "";
    }
    if (received.size() == kBlockSize && blocksAcked < kBlockCount) {
      const auto k = static_cast<std::size_t>(blocksAcked);
      if (++blockAttempts[k] < ackFrom[k]) {
        return "";
      }
      image += received;
      ++blocksAcked;
      return kAck + trailer;
    }
    return "";
  }
};

// The catalogue text a failure reports; kNone for success.
TextId FailureOf(const TStatus& result) {
  return result ? TextId::kNone : result.Error().Id;
}

class DeviceOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { context_.ImagePath = ConfigFilePathIn(dir_.string() + "/"); }

  std::string ImageFile() const { return test::ReadBytes(context_.ImagePath); }
  void UseDevice(ProgrammableDevice& device) {
    link_.Device = [&device](const std::string& bytes) { return device(bytes); };
  }
  void ExpectOnlyMessage(TextId text, TextId caption) {
    ASSERT_EQ(operator_.Messages.size(), 1u);
    EXPECT_EQ(operator_.Messages[0].Text, Text(text, Language::Chinese));
    EXPECT_EQ(operator_.Messages[0].Caption, Text(caption, Language::Chinese));
  }

  test::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  TResponseLog log_;
  ScriptedLink link_{log_};
  RecordingOperator operator_;
  DeviceContext context_{link_, link_, log_, operator_, {}};
};

TEST_F(DeviceOperationsTest, SuccessfulProgrammingPutsExactlyTheImageOnTheWire) {
  ProgrammableDevice device;
  UseDevice(device);
  CodeTable table;
  table.SetText(1, 1, "0102FF");
  table.SetText(3, 6, "abc");

  EXPECT_EQ(FailureOf(ProgramDevice(context_, table, 2)), TextId::kNone);

  const auto sent = link_.SentToDevice();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[0], kRequest);
  const std::string image = ImageFile();
  ASSERT_EQ(image.size(), kImageSize);
  for (std::size_t k = 0; k < kBlockCount; ++k) {
    EXPECT_EQ(sent[k + 1], image.substr(kBlockSize * k, kBlockSize));
  }
  EXPECT_EQ(device.image, image);
  EXPECT_EQ(image.substr(1344, 3), "\x02\xAB\x0C"s);
  EXPECT_EQ(image[kBaudOffset], '\x02');
  EXPECT_EQ(link_.NowMs, 500u + 5 * 1000u);  // every wait runs its full length
  ExpectOnlyMessage(TextId::kProgramSuccess, TextId::kCaptionSuccess);
  EXPECT_EQ(operator_.Progress.front(), "create 0 36 1");
  EXPECT_EQ(operator_.Steps(), 37);
  EXPECT_EQ(operator_.Progress.back(), "destroy");
  EXPECT_FALSE(context_.Running);
}

TEST_F(DeviceOperationsTest, ClosedPortSendsNothingAndLeavesTheImage) {
  link_.Open = false;
  std::ofstream(context_.ImagePath, std::ios::binary) << "old";
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kPortClosed);
  CodeTable table;
  EXPECT_EQ(FailureOf(ReadBackDevice(context_, table, nullptr)), TextId::kPortClosed);
  EXPECT_TRUE(link_.Wire.empty());
  EXPECT_EQ(ImageFile(), "old");
  ASSERT_EQ(operator_.Messages.size(), 2u);
  for (const auto& message : operator_.Messages) {
    EXPECT_EQ(message.Text, "没有打开通讯串口，请检查是否占用！");
    EXPECT_EQ(message.Caption, "警告");
  }
  EXPECT_TRUE(operator_.Confirmations.empty());
}

TEST_F(DeviceOperationsTest, OverlongCodesAreRefusedBeforeAnythingIsSent) {
  ProgrammableDevice device;
  UseDevice(device);
  CodeTable table;
  table.SetText(2, 6, std::string(130, 'A'));
  table.SetText(4, 1, std::string(127, 'B'));
  EXPECT_EQ(FailureOf(ProgramDevice(context_, table, 1)), TextId::kOverlongCodes);
  EXPECT_TRUE(link_.Wire.empty());
  EXPECT_FALSE(fs::exists(context_.ImagePath));
  ASSERT_EQ(operator_.Messages.size(), 1u);
  const std::string& text = operator_.Messages[0].Text;
  EXPECT_EQ(operator_.Messages[0].Caption, "警告");
  EXPECT_NE(text.find("IO2 松开发送码 代码2（130个字符）"), std::string::npos) << text;
  EXPECT_NE(text.find("IO4 接触发送码 代码1（127个字符）"), std::string::npos) << text;
}

TEST_F(DeviceOperationsTest, HandshakeFailures) {
  struct Case {
    const char* name;
    int acceptFrom;
    std::string trailer;
    std::string lastReply;  // what the last examined request's wait collected
    std::uint64_t endMs;    // a silent port is given up well within 10 s
  };
  for (const Case& c :
       {Case{"silent", 99, "", "", 5 * (500 + 1100) + 500},
        Case{"extra byte after every answer", 1, "\x0D", kProgramAcceptedHex + "0D"s, 6 * 500},
        Case{"answers only the sixth request", 6, "", "", 5 * (500 + 1100) + 500}}) {
    SCOPED_TRACE(c.name);
    link_.Wire.clear();
    link_.NowMs = 0;
    operator_.Messages.clear();
    std::ofstream(context_.ImagePath, std::ios::binary) << "old";
    ProgrammableDevice device;
    device.acceptFrom = c.acceptFrom;
    device.trailer = c.trailer;
    UseDevice(device);

    const TStatus result = ProgramDevice(context_, CodeTable{}, 1);
    ASSERT_EQ(FailureOf(result), TextId::kHandshakeFailed);
    EXPECT_EQ(result.Error().Args, std::vector<std::string>{c.lastReply});
    EXPECT_EQ(device.requests, 6);
    EXPECT_EQ(link_.SentToDevice(), std::vector<std::string>(6, kRequest));
    EXPECT_EQ(ImageFile(), "old");
    ExpectOnlyMessage(TextId::kHandshakeFailed, TextId::kCaptionWarning);
    EXPECT_TRUE(operator_.Progress.empty());
    EXPECT_EQ(link_.NowMs, c.endMs);
  }
}

TEST_F(DeviceOperationsTest, HandshakeAcceptedOnTheFifthRequest) {
  ProgrammableDevice device;
  device.acceptFrom = 5;
  UseDevice(device);
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kNone);
  EXPECT_EQ(device.requests, 5);
}

TEST_F(DeviceOperationsTest, BlockAcknowledgedOnItsSecondSendingIsSentTwice) {
  ProgrammableDevice device;
  device.ackFrom[2] = 2;
  UseDevice(device);
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kNone);
  const auto sent = link_.SentToDevice();
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(sent[3], sent[4]);
  EXPECT_EQ(device.blockAttempts[2], 2);
  ExpectOnlyMessage(TextId::kProgramSuccess, TextId::kCaptionSuccess);
}

TEST_F(DeviceOperationsTest, BlockNeverAcknowledgedFailsAfterSixSendings) {
  ProgrammableDevice device;
  device.ackFrom[1] = 99;
  UseDevice(device);
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 3)), TextId::kBlockFailed);
  EXPECT_EQ(device.blockAttempts[1], 6);
  EXPECT_EQ(link_.SentToDevice().size(), 1u + 1u + 6u);
  ExpectOnlyMessage(TextId::kBlockFailed, TextId::kCaptionWarning);
  // The failure is shown over the bar, which goes when the box is closed.
  EXPECT_EQ(operator_.Order, (std::vector<std::string>{"message", "destroy"}));
  EXPECT_EQ(ImageFile().size(), kImageSize);  // the complete image stays on disk
}

// A late answer is listened for before anything is sent again, so a device
// that answers late never takes a resend for the next block. Programming ends
// either with the device holding exactly the image built, or with a failure.
TEST_F(DeviceOperationsTest, LateAnswersNeverShiftTheImage) {
  struct Case {
    std::uint32_t replyDelayMs;
    int blockAckedFrom;  // every block is acknowledged from this sending on
    TextId result;
    int requests, blockSendings;
    std::uint64_t endMs;  // the waits of a device that answers in time are as before
  };
  constexpr auto kOk = TextId::kNone;
  const std::vector<Case> cases = {
      {0, 1, kOk, 1, 5, 5500},
      {300, 1, kOk, 1, 5, 5500},
      {480, 1, kOk, 1, 5, 5500},
      {500, 1, kOk, 1, 5, 5500},
      {700, 1, kOk, 1, 5, 5700},
      {900, 1, kOk, 1, 5, 5900},
      {1200, 1, kOk, 1, 5, 7200},
      {1500, 1, kOk, 1, 5, 9000},
      {30, 2, kOk, 1, 10, 500 + 5 * (1000 + 1100 + 1000)},  // only second sendings acknowledged
      // Beyond the listen the first answer comes after the second request, and
      // the answer to the second request among block 0's: not its own.
      {1700, 1, TextId::kBlockFailed, 2, 1, 1600 + 1700},
  };
  CodeTable table;
  table.SetText(1, 1, "0102FF");
  table.SetText(4, 8, std::string(126, 'e'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replyDelayMs);
    ScriptedLink link(log_);
    link.ReplyDelayMs = c.replyDelayMs;
    operator_ = RecordingOperator{};
    DeviceContext context{link, link, log_, operator_, context_.ImagePath};
    ProgrammableDevice device;
    device.ackFrom.fill(c.blockAckedFrom);
    link.Device = [&device](const std::string& bytes) { return device(bytes); };

    const TStatus result = ProgramDevice(context, table, 3);
    EXPECT_EQ(FailureOf(result), c.result);
    EXPECT_EQ(device.requests, c.requests);
    EXPECT_EQ(static_cast<int>(link.SentToDevice().size()), c.requests + c.blockSendings);
    EXPECT_EQ(link.NowMs, c.endMs);
    EXPECT_EQ(device.image == ComposeImage(table, 3), c.result == kOk);
    EXPECT_EQ(result ? 0u : result.Error().Args.size(), c.result == kOk ? 0u : 2u);
    ExpectOnlyMessage(c.result == kOk ? TextId::kProgramSuccess : TextId::kBlockFailed,
                      c.result == kOk ? TextId::kCaptionSuccess : TextId::kCaptionWarning);
  }
}

// The device stored the block, maybe not in its place: it is not sent again.
TEST_F(DeviceOperationsTest, TwoAcknowledgementsInOneWaitEndProgramming) {
  ProgrammableDevice device;
  UseDevice(device);
  link_.Device = [&device](const std::string& bytes) {
    std::string reply = device(bytes);
    return bytes.size() == kBlockSize ? reply + reply : reply;  // two in one wait
  };
  const TStatus result = ProgramDevice(context_, CodeTable{}, 1);
  ASSERT_EQ(FailureOf(result), TextId::kBlockFailed);
  EXPECT_EQ(link_.SentToDevice().size(), 2u);
  EXPECT_EQ(result.Error().Args,
            (std::vector<std::string>{"0", kBlockReceivedHex + std::string(kBlockReceivedHex)}));
}

TEST_F(DeviceOperationsTest, ImageFileInUseByAnotherProgramSendsNothing) {
  ProgrammableDevice device;
  UseDevice(device);
  auto held = TImageFileLock::TryAcquire(context_.ImagePath).Value();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kImageBusy);
  EXPECT_TRUE(link_.Wire.empty());
  ExpectOnlyMessage(TextId::kImageBusy, TextId::kCaptionWarning);

  held.reset();
  operator_.Messages.clear();
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kNone);
}

// What a programming run did, in one line, so that runs in another process
// (without privilege) can be checked too. The file fault shows its cause on a
// line of its own, and the result keeps it.
std::string Outcome(const TStatus& result, const ScriptedLink& link,
                    const RecordingOperator& oper) {
  std::string text = "result " + std::to_string(static_cast<int>(FailureOf(result))) + ", sent " +
                     std::to_string(link.SentToDevice().size()) + ",";
  for (const auto& message : oper.Messages) {
    text += " " + message.Caption + ": " + message.Text;
  }
  text += ", progress " + (oper.Progress.empty() ? std::string("none") : oper.Progress.back());
  return text + ", cause " + (result ? "" : ArgWords(result.Error().Args.at(0), Language::English));
}

std::string FileFaultOutcome(std::size_t sent, const std::string& cause) {
  return "result " + std::to_string(static_cast<int>(TextId::kFileFault)) + ", sent " +
         std::to_string(sent) + ", 警告: 配置文件操作失败!\n" + cause +
         ", progress destroy, cause " + cause;
}

TEST_F(DeviceOperationsTest, ImageFileChangedDuringTheTransferStopsBeforeTheChangedBlock) {
#ifdef _WIN32
  GTEST_SKIP() << "the image file's handle, kept for the transfer, lets no other program write";
#endif
  ProgrammableDevice device;
  UseDevice(device);
  link_.DuringWait = [&] {
    if (device.blocksAcked == 1) {
      Discard(WriteImageBytes(TImageFile::Open(context_.ImagePath).Value(), "\x01"s, 519));
    }
  };
  const TStatus result = ProgramDevice(context_, CodeTable{}, 1);
  EXPECT_EQ(
      Outcome(result, link_, operator_),
      FileFaultOutcome(2, "block 1 of " + context_.ImagePath +
                              " no longer holds the image built (changed by another program?)"));
  EXPECT_EQ(device.blocksAcked, 1);
}

#ifndef _WIN32
// An image file that cannot be made to hold the image built ends programming
// right after the handshake: no block goes out, and the cause is kept.
TEST_F(DeviceOperationsTest, ImageFileFaultsSendNothingAfterTheHandshake) {
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> arrange;  // runs without privilege
    std::string cause;
    bool oldImageStays;
  };
  const std::string missingFolder = (dir_ / "missing" / "Configuration.bin").string();
  rlimit savedLimit{};
  ::getrlimit(RLIMIT_FSIZE, &savedLimit);
  const std::vector<Case> cases = {
      {"image folder missing", [&](const std::string&) { context_.ImagePath = missingFolder; },
       "cannot open " + missingFolder + ": No such file or directory", true},
      {"old image neither removable nor writable",
       [&](const std::string& path) {
         fs::permissions(path, fs::perms::owner_read);
         fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
       },
       "cannot open " + context_.ImagePath + ": Permission denied", true},
      {"file system takes fewer bytes than the image",
       [&](const std::string&) {
         ::signal(SIGXFSZ, SIG_IGN);
         rlimit limit{};
         ::getrlimit(RLIMIT_FSIZE, &limit);
         savedLimit = limit;
         limit.rlim_cur = kImageSize / 2;
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       "cannot write " + context_.ImagePath + ": File too large", false},
  };
  const std::string imagePath = context_.ImagePath;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(imagePath, std::string(kImageSize, '\x5A'));
    // Without root the check runs in this process: each case starts afresh
    // and undoes what it arranged.
    const std::string outcome = test::RunWithoutPrivilege(dir_, [&] {
      context_.ImagePath = imagePath;
      link_.Wire.clear();
      operator_ = RecordingOperator{};
      ProgrammableDevice device;
      UseDevice(device);
      c.arrange(imagePath);
      const TStatus result = ProgramDevice(context_, CodeTable{}, 1);
      ::setrlimit(RLIMIT_FSIZE, &savedLimit);
      ::signal(SIGXFSZ, SIG_DFL);
      fs::permissions(dir_, fs::perms::owner_all);
      return Outcome(result, link_, operator_);
    });
    EXPECT_EQ(outcome, FileFaultOutcome(1, c.cause));
    fs::permissions(imagePath, fs::perms::owner_all);
    EXPECT_EQ(test::ReadBytes(imagePath) == std::string(kImageSize, '\x5A'), c.oldImageStays);
  }
}
#endif

// A reply of `bytes` bytes: a 512-byte lead, then `image`, cut or padded.
std::string Reply(const std::string& image, std::size_t bytes = kReadReplyBytes) {
  std::string reply = std::string(kBlockSize, '\x77') + image;
  reply.resize(bytes, '\x00');
  return reply;
}

class ReadBackTest : public DeviceOperationsTest {
 protected:
  void AnswerReadWith(const std::string& reply) {
    link_.Device = [reply](const std::string& bytes) {
      return bytes == kReadRequest ? reply : std::string();
    };
  }
  TextId Read() {
    return FailureOf(ReadBackDevice(context_, table_, [this](int index) { baud_ = index; }));
  }
  CodeTable table_;
  int baud_ = 1;
};

TEST_F(ReadBackTest, ParsesAreasAndBaudByte) {
  std::string image(kImageSize, '\0');
  image.replace(AreaOffset(1, 1), 4, "\x02\x0A\x0B\xEE"s);  // length 2
  image.replace(AreaOffset(2, 5), 4, "\x03\x12\x34\x00"s);  // length 3 with a zero byte
  image.replace(AreaOffset(4, 8), 3, "\x00\x55\x66"s);      // length 0, bytes ignored
  image[kBaudOffset] = '\x02';
  for (int b = 1; b <= 4; ++b) {
    for (int s = 1; s <= 8; ++s) {
      table_.SetText(b, s, "old");
    }
  }
  AnswerReadWith(Reply(image));

  EXPECT_EQ(Read(), TextId::kNone);
  EXPECT_EQ(table_.Text(1, 1), "0A0B");
  EXPECT_EQ(table_.Text(2, 5), "123400");
  EXPECT_EQ(table_.Text(4, 8), "");
  EXPECT_EQ(table_.Text(3, 3), "");  // every slot replaced
  EXPECT_EQ(baud_, 2);
  EXPECT_EQ(link_.SentToDevice(), std::vector<std::string>{kReadRequest});
  EXPECT_EQ(link_.NowMs, 4u * 1200u);
  ASSERT_EQ(operator_.Confirmations.size(), 1u);
  EXPECT_EQ(operator_.Confirmations[0], "警告: 是否读取数据？如果确定当前的数据给被更改!");
  ExpectOnlyMessage(TextId::kReadSuccess, TextId::kCaptionDone);
  EXPECT_EQ(operator_.Progress,
            (std::vector<std::string>{"create 0 4 1", "step", "step", "step", "step", "destroy"}));
}

TEST_F(ReadBackTest, BaudByteOutsideTheListSelectsNothing) {
  std::string image(kImageSize, '\0');
  image[kBaudOffset] = '\x07';
  AnswerReadWith(Reply(image));
  EXPECT_EQ(Read(), TextId::kNone);
  EXPECT_EQ(baud_, -1);
}

TEST_F(ReadBackTest, LengthByteBeyondTheAreaTakesFollowingBytes) {
  std::string image(kImageSize, '\0');
  image.replace(AreaOffset(1, 1), 1, "\x50"s);  // 80 bytes: runs into the next area
  image.replace(AreaOffset(1, 2), 2, "\x01\xAB"s);
  AnswerReadWith(Reply(image));
  EXPECT_EQ(Read(), TextId::kNone);
  EXPECT_EQ(table_.Text(1, 1).size(), 160u);
  EXPECT_EQ(table_.Text(1, 1).substr(126, 4), "01AB");
  EXPECT_EQ(table_.Text(1, 2), "AB");
}

TEST_F(ReadBackTest, WrongReplyLengthChangesNothing) {
  for (std::size_t bytes : {std::size_t{0}, kReadReplyBytes - 1, kReadReplyBytes + 1}) {
    SCOPED_TRACE(bytes);
    operator_.Messages.clear();
    table_.SetText(1, 1, "KEEP");
    baud_ = 3;
    AnswerReadWith(Reply(std::string(kImageSize, '\x01'), bytes));
    EXPECT_EQ(Read(), TextId::kReadFailed);
    EXPECT_EQ(table_.Text(1, 1), "KEEP");
    EXPECT_EQ(baud_, 3);
    ExpectOnlyMessage(TextId::kReadFailed, TextId::kCaptionWarning);
    EXPECT_EQ(log_.Text().size(), bytes * 2);  // the log keeps what arrived
  }
}

// With the owner's ReplyComplete the waiting ends at the first check after
// the owner calls the reply complete; without it, or while it says no, the
// four waits run in full. The result still rests on the length alone.
TEST_F(ReadBackTest, OwnerCanEndTheWaitsOnceTheReplyIsComplete) {
  struct Case {
    const char* name;
    bool hook;
    std::size_t bytes;
    std::uint32_t delayMs;
    TextId result;
    std::uint64_t endMs;
  };
  const Case cases[] = {
      {"no hook: four full waits", false, kReadReplyBytes, 30, TextId::kNone, 4800},
      {"full reply ends at the next check", true, kReadReplyBytes, 30, TextId::kNone, 40},
      {"late full reply", true, kReadReplyBytes, 2510, TextId::kNone, 2520},
      {"short reply waits out all four", true, kReadReplyBytes - 1, 30, TextId::kReadFailed, 4800},
      {"padded reply ends but is refused", true, kReadReplyBytes + 1, 30, TextId::kReadFailed, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    link_.NowMs = 0;
    operator_.Progress.clear();
    link_.ReplyDelayMs = c.delayMs;
    context_.ReplyComplete = nullptr;
    if (c.hook) {
      context_.ReplyComplete = [this] { return log_.Text().size() >= 2 * kReadReplyBytes; };
    }
    AnswerReadWith(Reply(std::string(kImageSize, '\x01'), c.bytes));
    EXPECT_EQ(Read(), c.result);
    EXPECT_EQ(link_.NowMs, c.endMs);
    EXPECT_EQ(operator_.Steps(), kReadWaitCount);
  }
}

TEST_F(ReadBackTest, CancelSendsNothingAndKeepsTheLog) {
  log_.Append("\x41\x00\x42", 3);
  operator_.ConfirmAnswer = false;
  table_.SetText(2, 2, "KEEP");
  EXPECT_EQ(Read(), TextId::kReadCancelled);
  EXPECT_TRUE(link_.Wire.empty());
  EXPECT_EQ(log_.Text(), "410042");
  EXPECT_EQ(table_.Text(2, 2), "KEEP");
  EXPECT_TRUE(operator_.Messages.empty());
  EXPECT_TRUE(operator_.Progress.empty());
}

TEST_F(ReadBackTest, ProgrammedTableComesBackInUpperCase) {
  ProgrammableDevice device;
  CodeTable written;
  written.SetText(1, 1, "0a0b");
  written.SetText(2, 8, std::string(126, 'f'));
  written.SetText(4, 4, "12 34");
  UseDevice(device);
  ASSERT_EQ(FailureOf(ProgramDevice(context_, written, 4)), TextId::kNone);

  AnswerReadWith(Reply(device.image));
  EXPECT_EQ(Read(), TextId::kNone);
  EXPECT_EQ(table_.Text(1, 1), "0A0B");
  EXPECT_EQ(table_.Text(2, 8), std::string(126, 'F'));
  EXPECT_EQ(table_.Text(4, 4), "123400");
  EXPECT_EQ(baud_, 4);
}

TEST_F(DeviceOperationsTest, ASecondOperationDuringAWaitIsRefused) {
  ProgrammableDevice device;
  UseDevice(device);
  std::vector<TextId> nested;
  link_.DuringWait = [&] {
    if (nested.empty()) {
      nested.push_back(FailureOf(ProgramDevice(context_, CodeTable{}, 1)));
      CodeTable table;
      EXPECT_EQ(FailureOf(ReadBackDevice(context_, table, nullptr)), TextId::kDeviceBusy);
    }
  };
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kNone);
  ASSERT_EQ(nested.size(), 1u);
  EXPECT_EQ(nested[0], TextId::kDeviceBusy);
  EXPECT_EQ(link_.SentToDevice().size(), 6u);
}

TEST_F(DeviceOperationsTest, AbortEndsAtTheNextWaitWithoutAMessage) {
  ProgrammableDevice device;
  UseDevice(device);
  int waits = 0;
  link_.DuringWait = [&] { ++waits; };
  context_.StopRequested = [&] { return waits >= 3; };
  EXPECT_EQ(FailureOf(ProgramDevice(context_, CodeTable{}, 1)), TextId::kOperationStopped);
  EXPECT_TRUE(operator_.Messages.empty());
  EXPECT_EQ(operator_.Progress.back(), "destroy");
  EXPECT_EQ(link_.SentToDevice().size(), 3u);
  EXPECT_FALSE(context_.Running);
}

// The words of a message are made where it is shown, in the front end's
// language; the details a message carries appear only where its text says.
TEST(DeviceWords, ComposeTheCatalogueTextWithItsDetails) {
  struct Case {
    TDeviceText Message;
    Language Lang;
    std::string Expected;
  };
  const TDeviceText overlong{TextId::kOverlongCodes, {"2", "6", "130", "4", "1", "127"}};
  const TDeviceText fault{TextId::kFileFault, {"cannot open /x: No such file or directory"}};
  const Case cases[] = {
      {overlong, Language::Chinese,
       "以下发送码超过126个字符，无法写入设备，请先缩短：\nIO2 松开发送码 代码2（130个字符）"
       "\nIO4 接触发送码 代码1（127个字符）"},
      {overlong, Language::English,
       "These codes are over 126 characters and cannot be written to the device; shorten them "
       "first:\nIO2 release codes code 2 (130 characters)\nIO4 press codes code 1 (127 "
       "characters)"},
      {fault, Language::Chinese, "配置文件操作失败!\ncannot open /x: No such file or directory"},
      {fault, Language::English,
       "The configuration file could not be handled!\ncannot open /x: No such file or directory"},
      {{TextId::kFileFault, {}}, Language::Chinese, "配置文件操作失败!"},
      {{TextId::kHandshakeFailed, {"C7EB"}},
       Language::English,
       "The device did not accept the programming request! Check the connection!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceWords(c.Message, c.Lang), c.Expected);
  }
}

TEST(ResponseLog, AppendsUpperCaseHexOfEveryByte) {
  TResponseLog log;
  log.Append("\x41\x00\x42", 3);
  log.Append("\xff", 1);
  EXPECT_EQ(log.Text(), "410042FF");
  log.Clear();
  EXPECT_EQ(log.Text(), "");
}

}  // namespace
}  // namespace korvane
