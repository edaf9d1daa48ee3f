#include "device/DeviceOperations.h"

#include <charconv>
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

// Shows the failure's text as a warning and gives it back as the result.
TError Warn(DeviceContext& context, TextId text, std::vector<std::string> details = {},
            std::error_code code = {}) {
  context.Operator.ShowMessage({text, details}, TextId::kCaptionWarning);
  return MakeError(text, std::move(details), code);
}

TError Stopped() {
  return MakeError(TextId::kOperationStopped);
}

int ToInt(const std::string& text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The over-long codes a kOverlongCodes message carries, three details each.
std::vector<OverlongCode> OverlongCodesOf(const std::vector<std::string>& args) {
  std::vector<OverlongCode> codes;
  for (std::size_t i = 0; i + 2 < args.size(); i += 3) {
    codes.push_back({ToInt(args[i]), ToInt(args[i + 1]),
                     static_cast<std::size_t>(std::max(0, ToInt(args[i + 2])))});
  }
  return codes;
}

std::vector<std::string> OverlongDetails(const std::vector<OverlongCode>& codes) {
  std::vector<std::string> details;
  for (const OverlongCode& code : codes) {
    details.insert(details.end(), {std::to_string(code.Button), std::to_string(code.Slot),
                                   std::to_string(code.Length)});
  }
  return details;
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

// A failure keeps what the device sent to the last examined request (hex),
// so that it can be told whether the port echoed, answered with extra bytes
// or stayed silent.
TStatus Handshake(DeviceContext& context, OperationScope& scope) {
  const std::string request = HexToBytes(kProgramRequestHex);
  const Expected accepted{kProgramAcceptedHex, {}, SpoiledAnswer::SendAgain};
  std::string reply;
  const Exchange outcome = Repeat(context, scope, kRequestWaitMs, accepted, reply, [&] {
    context.Port.SetOutput(request);
    return true;
  });
  if (outcome == Exchange::Aborted) {
    return Stopped();
  }
  if (outcome == Exchange::Unanswered) {
    return Warn(context, TextId::kHandshakeFailed, {reply});
  }
  return {};
}

// Ends programming on an image file that does not hold the image built:
// nothing more is sent. The operator learns the cause on a line of its own.
TError ImageFileFault(DeviceContext& context, OperationScope& scope, const TError& cause) {
  scope.DestroyProgress();
  const std::string why = cause.Id == TextId::kNone ? cause.Message : TextArg(cause.Id, cause.Args);
  return Warn(context, TextId::kFileFault, {why}, cause.Code);
}

TStatus SendBlock(DeviceContext& context, OperationScope& scope, const TImageFile& file,
                  const std::string& image, int block) {
  std::optional<TError> fault;
  std::string lastLog;
  // A programming request's answer can only be a late one here: the device
  // may have taken the request anew and the block as the first again.
  const Expected received{kBlockReceivedHex, kProgramAcceptedHex, SpoiledAnswer::Misplaced};
  const Exchange outcome = Repeat(context, scope, kBlockWaitMs, received, lastLog, [&] {
    const TResult<std::string> data = ReadCheckedImageBlock(file, block, image);
    if (!data) {
      fault = data.Error();
      return false;
    }
    const std::string& bytes = data.Value();
    context.Port.SendData(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    return true;
  });
  if (fault) {
    return ImageFileFault(context, scope, *fault);
  }
  if (outcome == Exchange::Aborted) {
    return Stopped();
  }
  if (outcome == Exchange::Unanswered || outcome == Exchange::Misplaced) {
    // The bar stays while the operator reads the failure, then goes.
    std::vector<std::string> misplaced;
    if (outcome == Exchange::Misplaced) {
      misplaced = {std::to_string(block), LogPreview(lastLog)};
    }
    TError failure = Warn(context, TextId::kBlockFailed, std::move(misplaced));
    scope.DestroyProgress();
    return failure;
  }
  context.Operator.StepProgress();
  return {};
}

TStatus RunProgramming(DeviceContext& context, OperationScope& scope, const CodeTable& table,
                       int baudIndex) {
  if (!context.Port.PortOpen()) {
    return Warn(context, TextId::kPortClosed);
  }
  if (const std::vector<OverlongCode> overlong = FindOverlongCodes(table); !overlong.empty()) {
    return Warn(context, TextId::kOverlongCodes, OverlongDetails(overlong));
  }
  // Two programs building and sending one image file would each send a mix.
  const auto imageLock = TImageFileLock::TryAcquire(context.ImagePath);
  if (!imageLock) {
    return ImageFileFault(context, scope, imageLock.Error());
  }
  if (!imageLock.Value()) {
    return Warn(context, TextId::kImageBusy);
  }
  if (TStatus shake = Handshake(context, scope); !shake) {
    return shake;
  }
  DeleteImageFile(context.ImagePath);
  scope.CreateProgress(kProgramProgressMax);
  const TResult<TImageFile> built =
      BuildImage(table, baudIndex, context.ImagePath, [&] { context.Operator.StepProgress(); });
  if (!built) {
    return ImageFileFault(context, scope, built.Error());
  }
  const std::string image = ComposeImage(table, baudIndex);
  for (int block = 0; block < kBlockCount; ++block) {
    if (TStatus sent = SendBlock(context, scope, built.Value(), image, block); !sent) {
      return sent;
    }
  }
  scope.DestroyProgress();
  context.Operator.ShowMessage({TextId::kProgramSuccess, {}}, TextId::kCaptionSuccess);
  return {};
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

TStatus RunReadBack(DeviceContext& context, OperationScope& scope, CodeTable& table,
                    const std::function<void(int)>& setBaudIndex) {
  if (!context.Port.PortOpen()) {
    return Warn(context, TextId::kPortClosed);
  }
  if (!context.Operator.Confirm({TextId::kReadConfirm, {}}, TextId::kCaptionWarning)) {
    return MakeError(TextId::kReadCancelled);
  }
  context.Log.Clear();
  context.Port.SetOutput(HexToBytes(kReadRequestHex));
  scope.CreateProgress(kReadWaitCount);
  bool complete = false;
  for (int step = 0; step < kReadWaitCount; ++step) {
    if (!complete && !WaitForReply(context, scope, complete)) {
      return Stopped();
    }
    context.Operator.StepProgress();
  }
  scope.DestroyProgress();
  if (context.Log.Text().size() != kReadReplyHexLength) {
    return Warn(context, TextId::kReadFailed, {std::to_string(context.Log.Text().size() / 2)});
  }
  const int baudIndex = ParseReadReply(context.Log.Text(), table);
  if (setBaudIndex) {
    setBaudIndex(baudIndex);
  }
  context.Operator.ShowMessage({TextId::kReadSuccess, {}}, TextId::kCaptionDone);
  return {};
}

}  // namespace

std::string OverlongCodesText(const std::vector<OverlongCode>& codes, Language language) {
  std::string text = Text(TextId::kOverlongCodes, language);
  for (const OverlongCode& code : codes) {
    const TextId group = IsDownSlot(code.Slot) ? TextId::kPressCodes : TextId::kReleaseCodes;
    text += '\n';
    text += Text(TextId::kOverlongCodeLine, language,
                 {std::to_string(code.Button), Text(group, language),
                  std::to_string(CodeNumberInGroup(code.Slot)), std::to_string(code.Length)});
  }
  return text;
}

std::string DeviceWords(const TDeviceText& text, Language language) {
  if (text.Id == TextId::kOverlongCodes) {
    return OverlongCodesText(OverlongCodesOf(text.Args), language);
  }
  std::string words = Text(text.Id, language, text.Args);
  if (text.Id == TextId::kFileFault && !text.Args.empty() && !text.Args[0].empty()) {
    words += '\n';
    // The cause line stays in English, as the editor has always shown it.
    words += ArgWords(text.Args[0], Language::English);
  }
  return words;
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

TStatus ProgramDevice(DeviceContext& context, const CodeTable& table, int baudIndex) {
  if (context.Running) {
    return MakeError(TextId::kDeviceBusy);
  }
  OperationScope scope(context);
  return RunProgramming(context, scope, table, baudIndex);
}

TStatus ReadBackDevice(DeviceContext& context, CodeTable& table,
                       const std::function<void(int)>& setBaudIndex) {
  if (context.Running) {
    return MakeError(TextId::kDeviceBusy);
  }
  OperationScope scope(context);
  return RunReadBack(context, scope, table, setBaudIndex);
}

}  // namespace korvane
