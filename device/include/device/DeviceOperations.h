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

// Operator texts.
inline constexpr const char* kCaptionWarning = "警告";
inline constexpr const char* kCaptionSuccess = "成功";
inline constexpr const char* kCaptionDone = "完成";
inline constexpr const char* kTextPortClosed = "没有打开通讯串口，请检查是否占用！";
inline constexpr const char* kTextHandshakeFailed = "设备没办法接受编程请求！请检查通讯是否正常!";
inline constexpr const char* kTextFileFault = "配置文件操作失败!";
inline constexpr const char* kTextBlockFailed = "配置失败!请重新配置!";
inline constexpr const char* kTextProgramSuccess = "配置成功!";
inline constexpr const char* kTextImageBusy = "配置文件正被另一个程序使用，请等它写入完成后再试!";
inline constexpr const char* kTextReadConfirm = "是否读取数据？如果确定当前的数据给被更改!";
inline constexpr const char* kTextReadFailed = "读取数据出错！";
inline constexpr const char* kTextReadSuccess = "读取数据成功！";

enum class ProgramResult {
  Success,
  PortClosed,
  OverlongCode,
  HandshakeFailed,
  FileFault,        // the image file could not be made to hold the image built
  ImageBusy,        // another program is building or sending the same image file
  ImageUnreadable,  // a block read anew from the image file was unreadable or changed
  BlockFailed,
  Busy,     // another operation is running
  Aborted,  // stopped on request (the window is closing)
};

enum class ReadResult { Success, PortClosed, Cancelled, BadLength, Busy, Aborted };

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
  // Why the last programming ended with FileFault or ImageUnreadable, in
  // English (the system's error text with the file's path); empty otherwise.
  // The operator is shown "配置文件操作失败!"; callers that can say more (the
  // command line) print this too.
  std::string FaultCause;
  // What the device sent during the last examined programming request, as hex
  // text (empty: nothing), so that a handshake failure can say whether the
  // port echoed, answered with extra bytes or stayed silent.
  std::string HandshakeReply;
  // Why the last programming ended with BlockFailed when an answer came where
  // it cannot belong (two acknowledgements, or one among other bytes), in
  // English; empty otherwise.
  std::string MisplacedAnswer;
};

// Hands the code table and the baud index to the device: handshake, image
// build, five acknowledged blocks. Shows its result to the operator.
ProgramResult ProgramDevice(DeviceContext& context, const CodeTable& table, int baudIndex);

// Fetches the device's codes into `table` and its baud index through
// `setBaudIndex`, after the operator confirms. Changes nothing unless the
// reply has the expected length.
ReadResult ReadBackDevice(DeviceContext& context, CodeTable& table,
                          const std::function<void(int)>& setBaudIndex);

// The operator text that reports over-long codes, one line per code.
std::string OverlongCodesText(const CodeTable& table);
std::string OverlongCodesText(const std::vector<OverlongCode>& codes);

// What the device sent during the last examined programming request
// (DeviceContext::HandshakeReply).
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
