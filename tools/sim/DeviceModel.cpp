#include "sim/DeviceModel.h"

#include <utility>

#include "device/ConfigImage.h"
#include "model/HexCodec.h"

namespace korvane {

namespace {

const std::string& ProgrammingRequestBytes() {
  static const std::string bytes = HexToBytes(kProgrammingRequestHex);
  return bytes;
}

const std::string& ReadRequestBytes() {
  static const std::string bytes = HexToBytes(kReadRequestHex);
  return bytes;
}

// Ignored bytes shown in the exchange log.
constexpr std::size_t kStrayShown = 16;

std::string Attempt(int attempt) {
  return " (attempt " + std::to_string(attempt) + ")";
}

}  // namespace

TResult<TDeviceModel> TDeviceModel::Create(DeviceOptions options, std::string image) {
  if (image.size() != kImageSize) {
    return TError(std::make_error_code(std::errc::invalid_argument),
                  "a configuration image has " + std::to_string(kImageSize) + " bytes, not " +
                      std::to_string(image.size()));
  }
  return TDeviceModel(options, std::move(image));
}

TDeviceModel::TDeviceModel(DeviceOptions options, std::string image)
    : options_(options), image_(std::move(image)) {}

std::string TDeviceModel::DefaultImage() {
  std::string image(kImageSize, '\0');
  image[kBaudOffset] = '\x01';
  return image;
}

std::string TDeviceModel::ReadReply(const std::string& image, std::size_t length) {
  std::string reply(kLeadSize, kFillerByte);
  reply += image;
  reply.resize(length, kFillerByte);
  return reply;
}

std::vector<Transmission> TDeviceModel::Receive(std::string_view bytes, Clock::time_point now) {
  Tick(now);
  std::vector<Transmission> out;
  for (const char byte : bytes) {
    if (options_.Echo) {
      if (!out.empty() && out.back().Meaning == "echo") {
        out.back().Bytes += byte;
      } else {
        out.push_back({std::string(1, byte), "echo"});
      }
    }
    if (receiving_) {
      TakeBlockByte(byte, out);
    } else {
      TakeIdleByte(byte, out);
    }
  }
  if (!bytes.empty()) {
    lastByteAt_ = now;
  }
  return out;
}

void TDeviceModel::Tick(Clock::time_point now) {
  if (!lastByteAt_) {
    return;
  }
  const auto silence = now - *lastByteAt_;
  if (silence >= options_.PartialGap) {
    if (!window_.empty()) {
      for (const char byte : window_) {
        AddStray(byte);
      }
      window_.clear();
    }
    FlushStray();
    if (!blockData_.empty()) {
      Note(blockData_.size(), "unfinished block " + std::to_string(block_) + " discarded");
      blockData_.clear();
    }
  }
  if (receiving_ && silence >= options_.TransferTimeout) {
    Note(0, "transfer abandoned while waiting for block " + std::to_string(block_));
    receiving_ = false;
  }
  if (silence >= options_.TransferTimeout) {
    lastByteAt_.reset();
  }
}

std::optional<TDeviceModel::Clock::time_point> TDeviceModel::NextDeadline() const {
  if (!lastByteAt_) {
    return std::nullopt;
  }
  if (!window_.empty() || !blockData_.empty() || stray_ > 0) {
    return *lastByteAt_ + options_.PartialGap;
  }
  if (receiving_) {
    return *lastByteAt_ + options_.TransferTimeout;
  }
  return std::nullopt;
}

void TDeviceModel::TakeIdleByte(char byte, std::vector<Transmission>& out) {
  window_ += byte;
  if (window_.size() > kRequestSize) {
    AddStray(window_.front());
    window_.erase(0, 1);
  }
  if (window_ == ProgrammingRequestBytes()) {
    window_.clear();
    AcceptProgrammingRequest(out);
  } else if (window_ == ReadRequestBytes()) {
    window_.clear();
    AnswerReadRequest(out);
  }
}

void TDeviceModel::TakeBlockByte(char byte, std::vector<Transmission>& out) {
  blockData_ += byte;
  if (blockData_.size() == kRequestSize) {
    if (blockData_ == ProgrammingRequestBytes()) {
      blockData_.clear();
      receiving_ = false;
      AcceptProgrammingRequest(out);
      return;
    }
    if (blockData_ == ReadRequestBytes()) {
      blockData_.clear();
      receiving_ = false;
      Note(0, "transfer abandoned for a read request");
      AnswerReadRequest(out);
      return;
    }
  }
  if (blockData_.size() == kBlockSize) {
    BlockComplete(out);
  }
}

void TDeviceModel::AcceptProgrammingRequest(std::vector<Transmission>& out) {
  FlushStray();
  const int attempt = ++requestAttempts_;
  if (attempt < options_.AnswerRequestFrom) {
    Note(kRequestSize, "programming request" + Attempt(attempt) + ": not answered");
    return;
  }
  Note(kRequestSize, "programming request" + Attempt(attempt) + ": accepted");
  requestAttempts_ = 0;
  receiving_ = true;
  block_ = 0;
  blockAttempts_ = 0;
  incoming_ = image_;
  Answer(HexToBytes(kProgrammingAcceptedHex), "programming accepted", out);
}

void TDeviceModel::AnswerReadRequest(std::vector<Transmission>& out) {
  FlushStray();
  Note(kRequestSize, "read request");
  Answer(ReadReply(image_, options_.ReadReplyBytes), "read reply (512-byte lead and image)", out);
}

void TDeviceModel::BlockComplete(std::vector<Transmission>& out) {
  const int attempt = ++blockAttempts_;
  const std::string name = "block " + std::to_string(block_) + Attempt(attempt);
  if (attempt < options_.AckBlockFrom[static_cast<std::size_t>(block_)]) {
    Note(kBlockSize, name + ": not acknowledged");
    blockData_.clear();
    return;
  }
  Note(kBlockSize, name + ": acknowledged");
  incoming_.replace(kBlockSize * static_cast<std::size_t>(block_), kBlockSize, blockData_);
  blockData_.clear();
  blockAttempts_ = 0;
  Answer(HexToBytes(kBlockReceivedHex), "block received", out);
  if (++block_ == kBlockCount) {
    receiving_ = false;
    HoldNewImage();
  }
}

void TDeviceModel::HoldNewImage() {
  image_ = std::move(incoming_);
  incoming_.clear();
  if (options_.CorruptImage) {
    image_[kCorruptOffset] = static_cast<char>(image_[kCorruptOffset] ^ kCorruptMask);
    Note(0, "new image held, corrupted at byte " + std::to_string(kCorruptOffset));
  } else {
    Note(0, "new image held");
  }
  if (OnNewImage) {
    OnNewImage(image_);
  }
}

void TDeviceModel::Answer(std::string bytes, std::string meaning,
                          std::vector<Transmission>& out) const {
  if (options_.Silent) {
    return;
  }
  if (options_.ExtraByte) {
    bytes += kExtraByte;
    meaning += " and an extra byte";
  }
  out.push_back({std::move(bytes), std::move(meaning)});
}

void TDeviceModel::FlushStray() {
  if (stray_ > 0) {
    const bool more = stray_ > strayStart_.size();
    Note(stray_, "ignored, not a request: " + BytesToHex(strayStart_) + (more ? "..." : ""));
    stray_ = 0;
    strayStart_.clear();
  }
}

void TDeviceModel::AddStray(char byte) {
  if (strayStart_.size() < kStrayShown) {
    strayStart_ += byte;
  }
  ++stray_;
}

void TDeviceModel::Note(std::size_t length, std::string meaning) const {
  if (OnNote) {
    OnNote({length, std::move(meaning)});
  }
}

}  // namespace korvane
