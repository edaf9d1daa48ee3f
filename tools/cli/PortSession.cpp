#include "cli/PortSession.h"

#include <chrono>
#include <cstdio>

#include "model/HexCodec.h"
#include "platform/Interrupt.h"
#include "serial/CommError.h"
#include "serial/PortDiagnosis.h"

namespace korvane::cli {
namespace {

constexpr std::size_t kTraceBytes = 32;  // a 512-byte block is traced by its start
// Longer than any gap inside a read-back reply: after a complete reply, this
// much silence means the device has nothing more to say.
constexpr std::chrono::milliseconds kReplyQuiet{100};

std::string HexPreview(const std::string& bytes) {
  std::string text = BytesToHex(bytes.substr(0, kTraceBytes));
  return bytes.size() > kTraceBytes ? text + "..." : text;
}

std::string Timestamp() {
  using namespace std::chrono;
  const auto now = floor<milliseconds>(system_clock::now());
  const hh_mm_ss clock(now - floor<days>(now));
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<int>(clock.subseconds().count()));
  return text;
}

// Reports name the port by its label already: a reason that starts with the
// label (a port given by its path) is shown without a second copy of it.
std::string WithoutLabel(std::string reason, const std::string& label) {
  const std::string prefix = label + ": ";
  if (reason.rfind(prefix, 0) == 0) {
    reason.erase(0, prefix.size());
  }
  return reason;
}

}  // namespace

TPortSession::TPortSession(const PortTarget& target, std::string imagePath, TPortOperator& oper,
                           std::function<void(const std::string&)> trace)
    : target_(target),
      operator_(oper),
      trace_(std::move(trace)),
      context_{*this, loop_, log_, oper, std::move(imagePath)} {
  comm_.OnReceiveData = [this](TComm&, const char* buffer, std::uint16_t length) {
    log_.Append(buffer, length);
    lastReceived_ = std::chrono::steady_clock::now();
    if (trace_) {
      received_.append(buffer, length);
    }
  };
  comm_.OnRequestHangup = [this](TComm&) { lineLost_ = true; };
  comm_.SetCommName(target.CommName);
  context_.StopRequested = [this] { return !AfterWait(); };
  context_.ReplyComplete = [this] { return ReplyComplete(); };
}

TPortSession::~TPortSession() {
  comm_.ClosePort();
}

TStatus TPortSession::Open() {
  std::string why;
  try {
    comm_.OpenPort();
    if (comm_.PortOpen()) {
      return {};
    }
    // The system's own account of the port comes first: it names the cause
    // (missing, in use, no permission) better than the failed open does.
    const TStatus diagnosis = DiagnosePort(target_.Identity.Path);
    why = diagnosis ? CommTextArg(comm_.PortOpenError()) : operator_.Words(diagnosis.Error());
  } catch (const ECommsError& error) {
    why = CommTextArg(error.what());
  }
  return MakeError(TextId::kCliPortOpenFailed, {WithoutLabel(why, target_.Label)});
}

void TPortSession::SetOutput(const std::string& bytes) {
  Trace(operator_.Say(TextId::kCliTraceSent, {std::to_string(bytes.size()), HexPreview(bytes)}));
  port_.SetOutput(bytes);
}

bool TPortSession::SendData(const char* buffer, std::uint16_t length) {
  ++blocksSent_;
  Trace(operator_.Say(TextId::kCliTraceSent,
                      {std::to_string(length), HexPreview(std::string(buffer, length))}));
  return port_.SendData(buffer, length);
}

// Called after every wait: true to go on. A lost line ends the operation
// there: the device is gone, so retries and further waits could only delay
// the result.
bool TPortSession::AfterWait() {
  if (trace_) {
    Trace(operator_.Say(TextId::kCliTraceReceived,
                        {std::to_string(received_.size()), HexPreview(received_)}));
    received_.clear();
  }
  operator_.Tick();
  if (lineLost_) {
    Trace(operator_.Say(TextId::kCliTraceLineLost));
  }
  return InterruptSignal() == 0 && !lineLost_;
}

// The read-back may end once the whole reply is in and the line has stayed
// quiet since; a reply that goes on past its length is still refused for it.
bool TPortSession::ReplyComplete() {
  const std::size_t bytes = log_.Text().size() / 2;
  if (bytes < kReadReplyBytes || std::chrono::steady_clock::now() - lastReceived_ < kReplyQuiet) {
    return false;
  }
  Trace(operator_.Say(TextId::kCliTraceReplyComplete,
                      {std::to_string(bytes), std::to_string(kReplyQuiet.count())}));
  return true;
}

void TPortSession::Trace(const std::string& text) {
  if (!trace_) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  const auto since =
      std::chrono::duration_cast<std::chrono::milliseconds>(now - lastEvent_).count();
  lastEvent_ = now;
  trace_(Timestamp() + " " + target_.Label + ": " + text + " (+" + std::to_string(since) + " ms)");
}

}  // namespace korvane::cli
