#include "sim/DeviceModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "model/HexCodec.h"

using namespace std::chrono_literals;

namespace korvane {
namespace {

const std::string kRequest = HexToBytes(kProgrammingRequestHex);
const std::string kAccepted = HexToBytes(kProgrammingAcceptedHex);
const std::string kAck = HexToBytes(kBlockReceivedHex);
const std::string kRead = HexToBytes(kReadRequestHex);

// An image whose blocks start like a built one (length byte below 0x40).
std::string TestImage() {
  std::string image(kImageSize, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  }
  return image;
}

std::string Block(const std::string& image, int k) {
  return image.substr(kBlockSize * static_cast<std::size_t>(k), kBlockSize);
}

class DeviceModelTest : public ::testing::Test {
 protected:
  void Make(DeviceOptions options = {}) {
    device_ = std::make_unique<TDeviceModel>(
        TDeviceModel::Create(options, TDeviceModel::DefaultImage()).Value());
    device_->OnNewImage = [this](const std::string& image) { newImages_.push_back(image); };
  }

  // Feeds `bytes` `after` the previous feed; returns everything sent back.
  std::string Feed(const std::string& bytes, std::chrono::milliseconds after = 1ms) {
    now_ += after;
    std::string sent;
    for (const auto& transmission : device_->Receive(bytes, now_)) {
      sent += transmission.Bytes;
    }
    return sent;
  }

  void ProgramAll(const std::string& image) {
    ASSERT_EQ(Feed(kRequest), kAccepted);
    for (int k = 0; k < kBlockCount; ++k) {
      ASSERT_EQ(Feed(Block(image, k), 500ms), kAck) << "block " << k;
    }
  }

  std::unique_ptr<TDeviceModel> device_;
  std::vector<std::string> newImages_;
  TDeviceModel::Clock::time_point now_ = TDeviceModel::Clock::time_point{} + 1h;
};

TEST_F(DeviceModelTest, StartsWithZeroImageAndBaudIndexOne) {
  const std::string image = TDeviceModel::DefaultImage();
  ASSERT_EQ(image.size(), kImageSize);
  EXPECT_EQ(image[kBaudOffset], '\x01');
  EXPECT_EQ(std::count(image.begin(), image.end(), '\0'), kImageSize - 1);
  const TResult<TDeviceModel> cut = TDeviceModel::Create({}, std::string(100, '\0'));
  ASSERT_FALSE(cut.Ok());
  EXPECT_NE(cut.Message().find("not 100"), std::string::npos) << cut.Message();
}

TEST_F(DeviceModelTest, HoldsTheNewImageOnlyAfterTheFifthBlock) {
  Make();
  const std::string image = TestImage();
  ASSERT_EQ(Feed(kRequest), kAccepted);
  for (int k = 0; k < kBlockCount - 1; ++k) {
    ASSERT_EQ(Feed(Block(image, k), 500ms), kAck);
    EXPECT_EQ(device_->Image(), TDeviceModel::DefaultImage()) << "after block " << k;
  }
  EXPECT_TRUE(newImages_.empty());
  EXPECT_EQ(Feed(Block(image, 4), 500ms), kAck);
  EXPECT_EQ(device_->Image(), image);
  ASSERT_EQ(newImages_.size(), 1u);
  EXPECT_EQ(newImages_[0], image);
  EXPECT_FALSE(device_->Receiving());
  // Back to idle: a further block is ignored.
  EXPECT_EQ(Feed(Block(image, 0), 500ms), "");
}

TEST_F(DeviceModelTest, ReadReplyIsLeadFollowedByTheHeldImage) {
  Make();
  std::string reply = Feed(kRead);
  ASSERT_EQ(reply.size(), kReadReplySize);
  EXPECT_EQ(reply.substr(0, kLeadSize), std::string(kLeadSize, kFillerByte));
  EXPECT_EQ(reply.substr(kLeadSize), TDeviceModel::DefaultImage());

  ProgramAll(TestImage());
  reply = Feed(kRead, 500ms);
  ASSERT_EQ(reply.size(), kReadReplySize);
  EXPECT_EQ(reply.substr(kLeadSize), TestImage());
}

TEST_F(DeviceModelTest, WholeSessionInOneChunkAnswersInOrder) {
  Make();
  const std::string image = TestImage();
  std::string session = kRequest;
  for (int k = 0; k < kBlockCount; ++k) {
    session += Block(image, k);
  }
  session += kRead;
  std::string expected = kAccepted;
  for (int k = 0; k < kBlockCount; ++k) {
    expected += kAck;
  }
  expected += TDeviceModel::ReadReply(image, kReadReplySize);
  EXPECT_EQ(Feed(session), expected);
  EXPECT_EQ(device_->Image(), image);
}

TEST_F(DeviceModelTest, StrayBytesWhileIdleAreIgnored) {
  Make();
  EXPECT_EQ(Feed(std::string("\x00\xC7\xEB\xC7\xF3xyz\r\n", 10)), "");
  // The last eight bytes are what counts: junk before a request does not hide it.
  EXPECT_EQ(Feed(std::string("\xC7\xEB\xC7", 3) + kRequest), kAccepted);
}

TEST_F(DeviceModelTest, NotesTellWhatTheDeviceMadeOfTheBytes) {
  Make();
  std::vector<std::string> notes;
  device_->OnNote = [&](const DeviceNote& note) {
    notes.push_back(std::to_string(note.Length) + " " + note.Meaning);
  };
  Feed("hello" + kRequest);
  Feed(std::string(100, '\0'), 500ms);
  device_->Tick(now_ + 300ms);
  EXPECT_EQ(notes, (std::vector<std::string>{"5 ignored, not a request: 68656C6C6F",
                                             "8 programming request (attempt 1): accepted",
                                             "100 unfinished block 0 discarded"}));
}

TEST_F(DeviceModelTest, RequestSplitBySilenceIsNotARequest) {
  Make();
  EXPECT_EQ(Feed(kRequest.substr(0, 4)), "");
  EXPECT_EQ(Feed(kRequest.substr(4), 400ms), "");
  EXPECT_FALSE(device_->Receiving());
  EXPECT_EQ(Feed(kRead.substr(0, 3)), "");
  EXPECT_EQ(Feed(kRead.substr(3), 50ms).size(), kReadReplySize);
}

TEST_F(DeviceModelTest, RequestInsideABlockIsBlockData) {
  Make();
  std::string image = TestImage();
  image.replace(100, kRequest.size(), kRequest);
  image.replace(700, kRead.size(), kRead);
  ASSERT_EQ(Feed(kRequest), kAccepted);
  const std::string block0 = Block(image, 0);
  EXPECT_EQ(Feed(block0.substr(0, 100)), "");
  EXPECT_EQ(Feed(block0.substr(100, 8)), "");
  EXPECT_EQ(Feed(block0.substr(108)), kAck);
  for (int k = 1; k < kBlockCount; ++k) {
    ASSERT_EQ(Feed(Block(image, k), 500ms), kAck);
  }
  EXPECT_EQ(device_->Image(), image);
}

TEST_F(DeviceModelTest, RequestAtABlockStartRestartsOrReads) {
  Make();
  const std::string image = TestImage();
  ASSERT_EQ(Feed(kRequest), kAccepted);
  ASSERT_EQ(Feed(Block(image, 0), 500ms), kAck);
  // The tool gave up and starts over: the request is answered, block 0 is next.
  EXPECT_EQ(Feed(kRequest, 500ms), kAccepted);
  EXPECT_EQ(device_->ExpectedBlock(), 0);
  ASSERT_EQ(Feed(Block(image, 0), 500ms), kAck);
  EXPECT_EQ(device_->ExpectedBlock(), 1);
  // A read request there ends the transfer and is answered with the old image.
  EXPECT_EQ(Feed(kRead, 500ms), TDeviceModel::ReadReply(TDeviceModel::DefaultImage(), 3072));
  EXPECT_FALSE(device_->Receiving());
}

TEST_F(DeviceModelTest, UnfinishedBlockIsDiscardedSoTheResentBlockIsAligned) {
  Make();
  const std::string image = TestImage();
  ASSERT_EQ(Feed(kRequest), kAccepted);
  ASSERT_EQ(Feed(Block(image, 0), 500ms), kAck);
  EXPECT_EQ(Feed(Block(image, 1).substr(0, 200), 500ms), "");  // the rest was lost
  ASSERT_TRUE(device_->NextDeadline().has_value());
  EXPECT_EQ(*device_->NextDeadline(), now_ + 300ms);
  // The tool resends a whole block after its 1000 ms wait.
  EXPECT_EQ(Feed(Block(image, 1), 1000ms), kAck);
  for (int k = 2; k < kBlockCount; ++k) {
    ASSERT_EQ(Feed(Block(image, k), 500ms), kAck);
  }
  EXPECT_EQ(device_->Image(), image);
}

TEST_F(DeviceModelTest, LongSilenceEndsTheTransfer) {
  Make();
  ASSERT_EQ(Feed(kRequest), kAccepted);
  EXPECT_EQ(*device_->NextDeadline(), now_ + 2000ms);
  now_ += 2500ms;
  device_->Tick(now_);
  EXPECT_FALSE(device_->Receiving());
  EXPECT_FALSE(device_->NextDeadline().has_value());
  EXPECT_EQ(Feed(Block(TestImage(), 0)), "");
  EXPECT_TRUE(newImages_.empty());
}

TEST_F(DeviceModelTest, SilentDeviceSendsNothing) {
  Make({.Silent = true});
  EXPECT_EQ(Feed(kRead), "");
  EXPECT_EQ(Feed(kRequest, 500ms), "");
  EXPECT_EQ(Feed(Block(TestImage(), 0), 500ms), "");
}

TEST_F(DeviceModelTest, ExtraByteFollowsEveryAnswer) {
  Make({.ExtraByte = true});
  EXPECT_EQ(Feed(kRequest), kAccepted + kExtraByte);
  EXPECT_EQ(Feed(Block(TestImage(), 0), 500ms), kAck + kExtraByte);
  const std::string reply = Feed(kRead, 3000ms);
  EXPECT_EQ(reply.size(), kReadReplySize + 1);
  EXPECT_EQ(reply.back(), kExtraByte);
}

TEST_F(DeviceModelTest, EchoPrecedesTheAnswer) {
  Make({.Echo = true});
  EXPECT_EQ(Feed("junk"), "junk");
  EXPECT_EQ(Feed(kRequest, 500ms), kRequest + kAccepted);
}

TEST_F(DeviceModelTest, AnswersTheProgrammingRequestFromTheNthAttempt) {
  Make({.AnswerRequestFrom = 3});
  EXPECT_EQ(Feed(kRequest), "");
  EXPECT_EQ(Feed(kRequest, 500ms), "");
  EXPECT_FALSE(device_->Receiving());
  EXPECT_EQ(Feed(kRequest, 500ms), kAccepted);
  EXPECT_TRUE(device_->Receiving());
  // Counting starts again after an answer.
  EXPECT_EQ(Feed(kRequest, 2500ms), "");
  EXPECT_EQ(Feed(kRequest, 500ms), "");
  EXPECT_EQ(Feed(kRequest, 500ms), kAccepted);
}

TEST_F(DeviceModelTest, AcknowledgesABlockFromTheNthSending) {
  DeviceOptions options;
  options.AckBlockFrom[2] = 3;
  Make(options);
  const std::string image = TestImage();
  ASSERT_EQ(Feed(kRequest), kAccepted);
  ASSERT_EQ(Feed(Block(image, 0), 500ms), kAck);
  ASSERT_EQ(Feed(Block(image, 1), 500ms), kAck);
  EXPECT_EQ(Feed(Block(image, 2), 500ms), "");
  EXPECT_EQ(Feed(Block(image, 2), 500ms), "");
  EXPECT_EQ(Feed(Block(image, 2), 500ms), kAck);
  ASSERT_EQ(Feed(Block(image, 3), 500ms), kAck);
  ASSERT_EQ(Feed(Block(image, 4), 500ms), kAck);
  EXPECT_EQ(device_->Image(), image);
}

TEST_F(DeviceModelTest, ReadReplyLengthCanBeCutOrPadded) {
  const std::string full = TDeviceModel::ReadReply(TDeviceModel::DefaultImage(), kReadReplySize);
  Make({.ReadReplyBytes = 3071});
  EXPECT_EQ(Feed(kRead), full.substr(0, 3071));
  Make({.ReadReplyBytes = 3100});
  EXPECT_EQ(Feed(kRead), full + std::string(28, kFillerByte));
  Make({.ReadReplyBytes = 0});
  EXPECT_EQ(Feed(kRead), "");
}

TEST_F(DeviceModelTest, CorruptImageDiffersInOneByteButEveryBlockIsAcknowledged) {
  Make({.CorruptImage = true});
  const std::string image = TestImage();
  ProgramAll(image);
  const std::string held = device_->Image();
  ASSERT_EQ(held.size(), image.size());
  std::vector<std::size_t> differences;
  for (std::size_t i = 0; i < held.size(); ++i) {
    if (held[i] != image[i]) {
      differences.push_back(i);
    }
  }
  ASSERT_EQ(differences, std::vector<std::size_t>{kCorruptOffset});
  EXPECT_EQ(held[kCorruptOffset] ^ image[kCorruptOffset], kCorruptMask);
  ASSERT_EQ(newImages_.size(), 1u);
  EXPECT_EQ(newImages_[0], held);
  EXPECT_EQ(Feed(kRead, 500ms).substr(kLeadSize), held);
}

}  // namespace
}  // namespace korvane
