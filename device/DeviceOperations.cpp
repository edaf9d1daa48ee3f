#include "device/DeviceOperations.h"

#include <exception>
#include <optional>

#include "device/ConfigImage.h"
#include "model/HexCodec.h"

namespace korvane {
namespace {

constexpr int kProgramProgressMax = 36;
constexpr std::size_t kReadReplyHexLength = kReadReplyBytes * 2;
constexpr std::size_t kReplyBaudHexPosition = 5120;

// Where the length byte of button b's slot s stands in a reply log.
std::size_t ReplyAreaHexPosition(int button, int slot) {
  return 1024 * static_cast<std::size_t>(button) + 128 * static_cast<std::size_t>(slot - 1);
}

// Marks the context busy for one operation and removes a progress bar that the
// operation leaves behind on any way out.
class OperationScope {
 public:
  explicit OperationScope(DeviceContext& context) : context_(context) { context_.Running = true; }
  ~OperationScope() {
    DestroyProgress();
    context_.Running = false;
  }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

  void CreateProgress(int maximum) {
    context_.Operator.CreateProgress(0, maximum, 1);
    progress_ = true;
  }
  void DestroyProgress() {
    if (progress_) {
      progress_ = false;
      context_.Operator.DestroyProgress();
    }
  }
  // Waits the full time; false when the owner asked the operation to end.
  bool Wait(std::uint32_t milliseconds) {
    context_.Loop.WaitPumping(milliseconds);
    return GoOn();
  }
  // False when the owner asked the operation to end.
  bool GoOn() const { return !(context_.StopRequested && context_.StopRequested()); }

 private:
  DeviceContext& context_;
  bool progress_ = false;
};

void Warn(DeviceContext& context, const std::string& text) {
  context.Operator.ShowMessage(text, kCaptionWarning);
}

std::string GroupName(int slot) {
  return IsDownSlot(slot) ? "接触发送码" : "松开发送码";
}

enum class Exchange { Answered, Unanswered, Misplaced, Aborted };

// What the log holds, measured against the one answer expected.
enum class Reply {
  Exact,    // the answer and nothing else
  Spoiled,  // the answer with other bytes (an echo, an extra byte, a second answer), or an
            // answer that belongs elsewhere
  Missing,  // no complete answer (yet): nothing, a part of it, or other bytes
};

// How an exchange treats a spoiled answer.
enum class SpoiledAnswer {
  SendAgain,  // the request changes nothing on the device: ask again
  Misplaced,  // the device has taken something: sending again would shift the data
};

// What one exchange waits for.
struct Expected {
  std::string AnswerHex;
  // An answer that can never be this exchange's (empty: none), such as a late
  // answer to an earlier programming request among a block's.
  std::string ForeignHex;
  SpoiledAnswer Spoiled;
};

// Whether `hex` stands in `logHex` at a byte boundary (an even offset).
bool Holds(const std::string& logHex, const std::string& hex) {
  for (std::size_t at = logHex.find(hex); at != std::string::npos; at = logHex.find(hex, at + 1)) {
    if (at % 2 == 0) {
      return true;
    }
  }
  return false;
}

Reply Classify(const std::string& logHex, const Expected& expected) {
  if (logHex == expected.AnswerHex) {
    return Reply::Exact;
  }
  const bool foreign = !expected.ForeignHex.empty() && Holds(logHex, expected.ForeignHex);
  return foreign || Holds(logHex, expected.AnswerHex) ? Reply::Spoiled : Reply::Missing;
}

// After a wait that ended without a complete answer: keeps listening up to
// kLateAnswerMs for it, so that a slow device's answer is not taken for the
// answer to a resend. Ends as soon as the log holds a complete answer.
std::optional<Reply> ListenForLateAnswer(DeviceContext& context, OperationScope& scope,
                                         const Expected& expected) {
  Reply reply = Reply::Missing;
  for (std::uint32_t listened = 0; listened < kLateAnswerMs && reply == Reply::Missing;
       listened += kListenSliceMs) {
    context.Loop.WaitPumping(kListenSliceMs);
    reply = Classify(context.Log.Text(), expected);
  }
  if (!scope.GoOn()) {
    return std::nullopt;
  }
  return reply;
}

// The log after an attempt's wait; when it holds no complete answer, after a
// listen for a late one. Nothing when the owner asked the operation to end.
std::optional<Reply> AwaitAnswer(DeviceContext& context, OperationScope& scope,
                                 const Expected& expected) {
  const Reply reply = Classify(context.Log.Text(), expected);
  return reply == Reply::Missing ? ListenForLateAnswer(context, scope, expected) : reply;
}

// Sends a request up to six times until the log holds exactly the answer
// expected. A wait that ended without the answer is followed by a listen for a
// late one before anything is sent again. `lastLog` gets the log of the last
// examined attempt.
template <typename SendFn>
Exchange Repeat(DeviceContext& context, OperationScope& scope, std::uint32_t waitMs,
                const Expected& expected, std::string& lastLog, SendFn send) {
  for (int attempt = 1;; ++attempt) {
    context.Log.Clear();
    if (!send()) {
      return Exchange::Aborted;
    }
    if (!scope.Wait(waitMs)) {
      return Exchange::Aborted;
    }
    if (attempt > kAttemptLimit) {
      return Exchange::Unanswered;
    }
    const std::optional<Reply> reply = AwaitAnswer(context, scope, expected);
    lastLog = context.Log.Text();
    if (!reply) {
      return Exchange::Aborted;
    }
    if (*reply == Reply::Exact) {
      return Exchange::Answered;
    }
    if (*reply == Reply::Spoiled && expected.Spoiled == SpoiledAnswer::Misplaced) {
      return Exchange::Misplaced;
    }
  }
}

ProgramResult Handshake(DeviceContext& context, OperationScope& scope) {
  const std::string request = HexToBytes(kProgramRequestHex);
  const Expected accepted{kProgramAcceptedHex, {}, SpoiledAnswer::SendAgain};
  const Exchange outcome =
      Repeat(context, scope, kRequestWaitMs, accepted, context.HandshakeReply, [&] {
        context.Port.SetOutput(request);
        return true;
      });
  if (outcome == Exchange::Aborted) {
    return ProgramResult::Aborted;
  }
  if (outcome == Exchange::Unanswered) {
    Warn(context, kTextHandshakeFailed);
    return ProgramResult::HandshakeFailed;
  }
  return ProgramResult::Success;
}

// Ends programming on an image file that does not hold the image built:
// nothing more is sent.
ProgramResult ImageFileFault(DeviceContext& context, OperationScope& scope, ProgramResult result,
                             std::string cause) {
  scope.DestroyProgress();
  context.FaultCause = std::move(cause);
  Warn(context, kTextFileFault);
  return result;
}

ProgramResult SendBlock(DeviceContext& context, OperationScope& scope, const TImageFile& file,
                        const std::string& image, int block) {
  std::string cause;
  bool faulty = false;
  std::string lastLog;
  // A programming request's answer can only be a late one here: the device
  // may have taken the request anew and the block as the first again.
  const Expected received{kBlockReceivedHex, kProgramAcceptedHex, SpoiledAnswer::Misplaced};
  const Exchange outcome = Repeat(context, scope, kBlockWaitMs, received, lastLog, [&] {
    const TResult<std::string> data = ReadCheckedImageBlock(file, block, image);
    if (!data) {
      cause = data.Message();
      faulty = true;
      return false;
    }
    const std::string& bytes = data.Value();
    context.Port.SendData(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    return true;
  });
  if (faulty) {
    return ImageFileFault(context, scope, ProgramResult::ImageUnreadable, std::move(cause));
  }
  if (outcome == Exchange::Aborted) {
    return ProgramResult::Aborted;
  }
  if (outcome == Exchange::Misplaced) {
    context.MisplacedAnswer = "block " + std::to_string(block) +
                              ": an answer that cannot be this block's alone (" +
                              LogPreview(lastLog) +
                              "): a block may be stored in the wrong place, so nothing more was "
                              "sent; program again";
  }
  if (outcome == Exchange::Unanswered || outcome == Exchange::Misplaced) {
    // The bar stays while the operator reads the failure, then goes.
    Warn(context, kTextBlockFailed);
    scope.DestroyProgress();
    return ProgramResult::BlockFailed;
  }
  context.Operator.StepProgress();
  return ProgramResult::Success;
}

ProgramResult RunProgramming(DeviceContext& context, OperationScope& scope, const CodeTable& table,
                             int baudIndex) {
  if (!context.Port.PortOpen()) {
    Warn(context, kTextPortClosed);
    return ProgramResult::PortClosed;
  }
  if (!FindOverlongCodes(table).empty()) {
    Warn(context, OverlongCodesText(table));
    return ProgramResult::OverlongCode;
  }
  // Two programs building and sending one image file would each send a mix.
  const auto imageLock = TImageFileLock::TryAcquire(context.ImagePath);
  if (!imageLock) {
    return ImageFileFault(context, scope, ProgramResult::FileFault, imageLock.Message());
  }
  if (!imageLock.Value()) {
    Warn(context, kTextImageBusy);
    return ProgramResult::ImageBusy;
  }
  if (const ProgramResult shake = Handshake(context, scope); shake != ProgramResult::Success) {
    return shake;
  }
  try {
    DeleteImageFile(context.ImagePath);
  } catch (const std::exception& error) {
    return ImageFileFault(context, scope, ProgramResult::FileFault, error.what());
  }
  scope.CreateProgress(kProgramProgressMax);
  const TResult<TImageFile> built =
      BuildImage(table, baudIndex, context.ImagePath, [&] { context.Operator.StepProgress(); });
  if (!built) {
    return ImageFileFault(context, scope, ProgramResult::FileFault, built.Message());
  }
  const std::string image = ComposeImage(table, baudIndex);
  for (int block = 0; block < kBlockCount; ++block) {
    if (const ProgramResult sent = SendBlock(context, scope, built.Value(), image, block);
        sent != ProgramResult::Success) {
      return sent;
    }
  }
  scope.DestroyProgress();
  context.Operator.ShowMessage(kTextProgramSuccess, kCaptionSuccess);
  return ProgramResult::Success;
}

// One of the read-back's waits. When the owner can tell a complete reply, the
// wait is pumped in short slices and ends as soon as it is; `complete` then
// spares the caller the waits that remain. False when the owner asked the
// operation to end.
bool WaitForReply(DeviceContext& context, OperationScope& scope, bool& complete) {
  if (!context.ReplyComplete) {
    return scope.Wait(kReadWaitMs);
  }
  static_assert(kReadWaitMs % kReplyCheckMs == 0);
  for (std::uint32_t waited = 0; waited < kReadWaitMs && !complete; waited += kReplyCheckMs) {
    context.Loop.WaitPumping(kReplyCheckMs);
    complete = context.ReplyComplete();
  }
  return scope.Wait(0);
}

ReadResult RunReadBack(DeviceContext& context, OperationScope& scope, CodeTable& table,
                       const std::function<void(int)>& setBaudIndex) {
  if (!context.Port.PortOpen()) {
    Warn(context, kTextPortClosed);
    return ReadResult::PortClosed;
  }
  if (!context.Operator.Confirm(kTextReadConfirm, kCaptionWarning)) {
    return ReadResult::Cancelled;
  }
  context.Log.Clear();
  context.Port.SetOutput(HexToBytes(kReadRequestHex));
  scope.CreateProgress(kReadWaitCount);
  bool complete = false;
  for (int step = 0; step < kReadWaitCount; ++step) {
    if (!complete && !WaitForReply(context, scope, complete)) {
      return ReadResult::Aborted;
    }
    context.Operator.StepProgress();
  }
  scope.DestroyProgress();
  if (context.Log.Text().size() != kReadReplyHexLength) {
    Warn(context, kTextReadFailed);
    return ReadResult::BadLength;
  }
  const int baudIndex = ParseReadReply(context.Log.Text(), table);
  if (setBaudIndex) {
    setBaudIndex(baudIndex);
  }
  context.Operator.ShowMessage(kTextReadSuccess, kCaptionDone);
  return ReadResult::Success;
}

}  // namespace

std::string OverlongCodesText(const CodeTable& table) {
  return OverlongCodesText(FindOverlongCodes(table));
}

std::string OverlongCodesText(const std::vector<OverlongCode>& codes) {
  std::string text = "以下发送码超过126个字符，无法写入设备，请先缩短：";
  for (const OverlongCode& code : codes) {
    text += "\nIO" + std::to_string(code.Button) + " " + GroupName(code.Slot) + " 代码" +
            std::to_string(CodeNumberInGroup(code.Slot)) + "（" + std::to_string(code.Length) +
            "个字符）";
  }
  return text;
}

std::string LogPreview(const std::string& logHex) {
  constexpr std::size_t kShownHex = 64;
  return logHex.size() > kShownHex ? logHex.substr(0, kShownHex) + "..." : logHex;
}

HandshakeReplyKind ClassifyHandshakeReply(const std::string& replyHex) {
  if (replyHex.empty()) {
    return HandshakeReplyKind::Nothing;
  }
  if (replyHex.rfind(kProgramRequestHex, 0) == 0) {
    return HandshakeReplyKind::Echo;
  }
  return Holds(replyHex, kProgramAcceptedHex) ? HandshakeReplyKind::AnswerWithExtraBytes
                                              : HandshakeReplyKind::Other;
}

int ParseReadReply(const std::string& replyHex, CodeTable& table) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::size_t q = ReplyAreaHexPosition(button, slot);
      const std::int32_t length = q < replyHex.size() ? HexToInt(replyHex.substr(q, 2)) : 0;
      const std::size_t start = std::min(q + 2, replyHex.size());
      table.SetText(button, slot, replyHex.substr(start, 2 * static_cast<std::size_t>(length)));
    }
  }
  const std::int32_t baud = kReplyBaudHexPosition < replyHex.size()
                                ? HexToInt(replyHex.substr(kReplyBaudHexPosition, 2))
                                : -1;
  return baud >= 0 && baud <= 4 ? baud : -1;
}

std::vector<ReplyArea> OverlongReplyAreas(const std::string& replyHex) {
  std::vector<ReplyArea> areas;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::size_t q = ReplyAreaHexPosition(button, slot);
      const std::int32_t length = q < replyHex.size() ? HexToInt(replyHex.substr(q, 2)) : 0;
      if (length > static_cast<std::int32_t>(kMaxCodeBytes)) {
        areas.push_back({button, slot, length});
      }
    }
  }
  return areas;
}

ProgramResult ProgramDevice(DeviceContext& context, const CodeTable& table, int baudIndex) {
  if (context.Running) {
    return ProgramResult::Busy;
  }
  OperationScope scope(context);
  context.FaultCause.clear();
  context.HandshakeReply.clear();
  context.MisplacedAnswer.clear();
  return RunProgramming(context, scope, table, baudIndex);
}

ReadResult ReadBackDevice(DeviceContext& context, CodeTable& table,
                          const std::function<void(int)>& setBaudIndex) {
  if (context.Running) {
    return ReadResult::Busy;
  }
  OperationScope scope(context);
  return RunReadBack(context, scope, table, setBaudIndex);
}

}  // namespace korvane
