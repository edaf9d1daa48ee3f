#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace korvane {

// Protocol bytes of the device (GBK text).
inline constexpr std::string_view kProgrammingRequestHex = "C7EBC7F3B1E0B3CC";
inline constexpr std::string_view kProgrammingAcceptedHex = "C7EBC7F3BDD3CADC4F4B";
inline constexpr std::string_view kBlockReceivedHex = "B4ABCAE4CAFDBEDDD5FDB3A3";
inline constexpr std::string_view kReadRequestHex = "B6C1C8A1C7EBC7F3";

inline constexpr std::size_t kRequestSize = 8;
inline constexpr std::size_t kLeadSize = 512;
inline constexpr std::size_t kReadReplySize = 3072;
// Fills the lead of a read reply and pads an overlong one.
inline constexpr char kFillerByte = '\xA5';
// Sent after every answer with DeviceOptions::ExtraByte.
inline constexpr char kExtraByte = '\x0A';
// With DeviceOptions::CorruptImage the held image has this bit of byte 0 (the
// length byte of button 1's first code) flipped, which changes the code read back.
inline constexpr std::size_t kCorruptOffset = 0;
inline constexpr char kCorruptMask = '\x01';

struct DeviceOptions {
  bool Silent = false;        // never answers (an echo is still sent)
  bool ExtraByte = false;     // kExtraByte after each answer and reply
  bool Echo = false;          // every received byte is sent straight back
  int AnswerRequestFrom = 1;  // answer the n-th programming request since the last answered
  std::array<int, 5> AckBlockFrom{1, 1, 1, 1, 1};  // per block, as above
  std::size_t ReadReplyBytes = kReadReplySize;     // cut or padded with kFillerByte
  bool CorruptImage = false;
  // Silence that discards an unfinished block (the device then waits for the
  // same block again) or an unfinished request. Shorter than the tool's
  // 1000 ms resend interval minus a block's line time, so a resent block
  // always starts aligned.
  std::chrono::milliseconds PartialGap{300};
  // Silence that ends a transfer: the device goes back to waiting for requests.
  std::chrono::milliseconds TransferTimeout{2000};
};

// Something the device sends, with what it means (for the exchange log).
struct Transmission {
  std::string Bytes;
  std::string Meaning;
};

// What the device made of received bytes, for the exchange log.
struct DeviceNote {
  std::size_t Length = 0;
  std::string Meaning;
};

// The device's side of the protocol, free of any I/O: bytes in, bytes out.
//
// Idle, it watches the last 8 bytes received for the programming or read
// request; other bytes are ignored. After accepting programming it takes the
// next bytes as blocks of 512, acknowledging each complete block; after the
// fifth it holds the new image. During a block every byte is block data, but
// the 8 bytes starting a block are taken as a request when they equal one
// (blocks built from a code table never start so: they start with a length
// byte of at most 63, or with the baud byte). Silence discards what is
// unfinished (see DeviceOptions).
class TDeviceModel {
 public:
  using Clock = std::chrono::steady_clock;

  // A device holding `image`; fails unless it is a whole configuration image.
  [[nodiscard]] static TResult<TDeviceModel> Create(DeviceOptions options, std::string image);

  // Takes bytes that arrived at `now`; returns what the device sends, in order.
  std::vector<Transmission> Receive(std::string_view bytes, Clock::time_point now);
  // Applies the silence rules up to `now` (Receive does this too).
  void Tick(Clock::time_point now);
  // When Tick next has something to do, if ever.
  std::optional<Clock::time_point> NextDeadline() const;

  const std::string& Image() const { return image_; }
  bool Receiving() const { return receiving_; }
  int ExpectedBlock() const { return block_; }

  // Called with every image the device starts holding.
  std::function<void(const std::string& image)> OnNewImage;
  // Called with what the device made of received bytes.
  std::function<void(const DeviceNote& note)> OnNote;

  // An all-zero image with baud index 1.
  static std::string DefaultImage();
  // The reply to a read request when holding `image`.
  static std::string ReadReply(const std::string& image, std::size_t length);

 private:
  void TakeIdleByte(char byte, std::vector<Transmission>& out);
  void TakeBlockByte(char byte, std::vector<Transmission>& out);
  void AcceptProgrammingRequest(std::vector<Transmission>& out);
  void AnswerReadRequest(std::vector<Transmission>& out);
  void BlockComplete(std::vector<Transmission>& out);
  void HoldNewImage();
  void Answer(std::string bytes, std::string meaning, std::vector<Transmission>& out) const;
  void AddStray(char byte);
  void FlushStray();
  void Note(std::size_t length, std::string meaning) const;

  TDeviceModel(DeviceOptions options, std::string image);

  DeviceOptions options_;
  std::string image_;
  std::string incoming_;  // image being received
  bool receiving_ = false;
  int block_ = 0;
  std::string blockData_;
  std::string window_;      // last bytes received while idle
  std::size_t stray_ = 0;   // ignored bytes not yet logged
  std::string strayStart_;  // the first of them
  int requestAttempts_ = 0;
  int blockAttempts_ = 0;
  std::optional<Clock::time_point> lastByteAt_;
};

}  // namespace korvane
