#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "device/DeviceSeams.h"
#include "device/ResponseLog.h"
#include "model/CodeTable.h"
#include "serial/UiLoop.h"

namespace korvane {

// Protocol messages, as the hex text of their bytes.
inline constexpr const char* kProgramRequestHex = "C7EBC7F3B1E0B3CC";
inline constexpr const char* kProgramAcceptedHex = "C7EBC7F3BDD3CADC4F4B";
inline constexpr const char* kBlockReceivedHex = "B4ABCAE4CAFDBEDDD5FDB3A3";
inline constexpr const char* kReadRequestHex = "B6C1C8A1C7EBC7F3";

inline constexpr std::uint32_t kRequestWaitMs = 500;
inline constexpr std::uint32_t kBlockWaitMs = 1000;
inline constexpr std::uint32_t kReadWaitMs = 1200;
inline constexpr int kReadWaitCount = 4;
inline constexpr int kAttemptLimit = 5;  // the sixth send ends the exchange unexamined
// A wait that ended without its answer is followed by up to this much more
// listening before the request or block goes out again: a device that answers
// late must not see a resend that it would take for the next block.
inline constexpr std::uint32_t kLateAnswerMs = 1100;
inline constexpr std::uint32_t kListenSliceMs = 10;  // how often the listen looks at the log
inline constexpr std::size_t kReadReplyBytes = 3072;
inline constexpr std::uint32_t kReplyCheckMs = 20;  // divides kReadWaitMs

// Everything a device operation works with. One context serves one port; it
// keeps two operations from running at once on it.
struct DeviceContext {
  DeviceContext(IDevicePort& port, TUiLoop& loop, TResponseLog& log, IOperator& oper,
                std::string imagePath)
      : Port(port), Loop(loop), Log(log), Operator(oper), ImagePath(std::move(imagePath)) {}

  IDevicePort& Port;
  TUiLoop& Loop;
  TResponseLog& Log;
  IOperator& Operator;
  std::string ImagePath;
  // Asked after every wait; true ends the operation there (the owner is closing).
  std::function<bool()> StopRequested;
  // Optional early end of the read-back: asked every kReplyCheckMs while the
  // read-back waits; true (the reply is complete) ends the waiting there.
  // Empty: the four waits run in full. Programming's waits never end early.
  std::function<bool()> ReplyComplete;
  bool Running = false;
};

// Hands the code table and the baud index to the device: handshake, image
// build, five acknowledged blocks. Shows its result to the operator. A
// failure's Id is the text the operator was shown, or why nothing was shown
// (kDeviceBusy: another operation runs; kOperationStopped: the owner asked it
// to end), with these details in Args:
// - kOverlongCodes: button, slot and length of each over-long code;
// - kHandshakeFailed: what the device sent to the last examined request, as
//   hex text (empty: nothing), for ClassifyHandshakeReply;
// - kFileFault: the cause in English (the file and the system's words; the
//   system's code in Code);
// - kBlockFailed: none when a block went unanswered; the block and the start
//   of the log (kMisplacedAnswer) when an answer came where it cannot belong.
// kPortClosed and kImageBusy have none.
TStatus ProgramDevice(DeviceContext& context, const CodeTable& table, int baudIndex);

// Fetches the device's codes into `table` and its baud index through
// `setBaudIndex`, after the operator confirms. Changes nothing unless the
// reply has the expected length. Failures: kPortClosed, kReadCancelled,
// kReadFailed (Args: the reply's length in bytes), kDeviceBusy,
// kOperationStopped.
TStatus ReadBackDevice(DeviceContext& context, CodeTable& table,
                       const std::function<void(int)>& setBaudIndex);

// The over-long codes' message, one line per code, in `language`.
std::string OverlongCodesText(const std::vector<OverlongCode>& codes, Language language);

// What the device sent during the last examined programming request (the
// detail of kHandshakeFailed).
enum class HandshakeReplyKind {
  Nothing,
  Echo,                  // starts with the request itself
  AnswerWithExtraBytes,  // holds the answer among other bytes
  Other,
};
HandshakeReplyKind ClassifyHandshakeReply(const std::string& replyHex);

// The start of a response log for a message; a long log (an echoed block) is cut.
std::string LogPreview(const std::string& logHex);

// Parses a 6144-character reply log into the table's 32 slots; returns the baud index.
int ParseReadReply(const std::string& replyHex, CodeTable& table);

// An area of a read-back reply with the length byte it holds.
struct ReplyArea {
  int Button = 0;  // 1-4
  int Slot = 0;    // 1-8
  int Length = 0;  // bytes
};

// The areas of a reply log whose length byte is over 63: this tool never
// writes such an area, so the reply is broken or comes from a device that was
// given codes over 126 characters by other tools. The 512 bytes before the
// areas are not looked at.
std::vector<ReplyArea> OverlongReplyAreas(const std::string& replyHex);

}  // namespace korvane
